// A recording read as the Open group or the command line asks.

#include "session/RecordingRequest.h"

#include "io/Recording.h"
#include "io/RecordingOpener.h"
#include "io/SampleFormat.h"
#include "session/NumberText.h"

#include <stdexcept>
#include <string>

namespace {

// Rates are kept exactly: any above 0 and below 2^32 samples per second.
double sampleRateOf(const QString& text)
{
    try {
        const double value = strictlyPositiveNumber(text);
        if (value >= sampleRateLimit)
            throw std::runtime_error("input shall be < 4294967296");
        return value;
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("Invalid sample rate: ") + error.what());
    }
}

} // namespace

std::optional<QString> impliedDatatype(const RecordingRequest& request)
{
    if (request.format < 0 || request.format > static_cast<int>(FileFormat::Iqw))
        return std::nullopt;
    const auto format = static_cast<FileFormat>(request.format);
    const std::string file = request.path.toStdString();
    if (!needsSampleRate(file, format))
        return std::nullopt;
    if (resolvedFormat(file, format) == FileFormat::Iqw)
        return QStringLiteral("cf32_le");
    const std::optional<std::string> implied = format == FileFormat::Auto ? ::impliedDatatype(file) : std::nullopt;
    return implied ? std::optional<QString>(QString::fromStdString(*implied)) : std::nullopt;
}

std::shared_ptr<Recording> readRecording(const RecordingRequest& request)
{
    if (request.format < 0 || request.format > static_cast<int>(FileFormat::Iqw))
        throw std::runtime_error("Unsupported file format");
    const auto format = static_cast<FileFormat>(request.format);
    const std::string file = request.path.toStdString();
    std::string datatype;
    double rate = 0;
    if (needsSampleRate(file, format)) {
        datatype = impliedDatatype(request).value_or(request.datatype).toStdString();
        rate = sampleRateOf(request.rate);
    }
    auto read = std::make_shared<Recording>();
    read->take(openRecording(file, format, datatype, rate, request.archiveMember));
    if (read->sampleRate() == 0)
        throw std::runtime_error("Invalid sample rate: the file gives 0 samples per second");
    // The stop time field takes the duration: a recording without samples has none.
    if (read->sampleCount() == 0)
        throw std::runtime_error("input shall be > 0");
    return read;
}

void checkRecordingRequest(FileFormatChoice choice, const QString& datatype, const QString& rate)
{
    const auto format = static_cast<FileFormat>(choice);
    if (format != FileFormat::Binary && format != FileFormat::Iqw)
        return;
    if (format == FileFormat::Binary) {
        const SampleFormat parsed = parseSampleFormat(datatype.toStdString());
        if (!chunkDecoderFor(parsed))
            throw std::runtime_error("Unsupported datatype");
    }
    sampleRateOf(rate);
}
