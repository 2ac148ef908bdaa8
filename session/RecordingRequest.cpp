// A recording read as the Open group or the command line asks.

#include "session/RecordingRequest.h"

#include "io/FileError.h"
#include "io/InputFile.h"
#include "io/Recording.h"
#include "io/RecordingOpener.h"
#include "io/SampleFormat.h"
#include "io/SigmfFile.h"
#include "session/NativePath.h"
#include "session/NumberText.h"

#include <stdexcept>
#include <string>

namespace {

// Rates are kept exactly: any above 0 and below 2^32 samples per second.
constexpr const char* rateNeeded = "A raw file needs its sample rate: give --rate or fill \"Sample rate\"";

double sampleRateOf(const QString& text)
{
    if (text.trimmed().isEmpty())
        throw std::runtime_error(rateNeeded);
    try {
        const double value = anyNumber(text);
        if (!(value > 0))
            throw std::runtime_error("input shall be > 0");
        if (value >= sampleRateLimit)
            throw std::runtime_error("input shall be < 4294967296");
        return value;
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("Invalid sample rate: ") + error.what());
    }
}

// Whether SigMF metadata beside the file describes it, giving its datatype and rate.
bool describedBeside(const std::string& file, FileFormat format)
{
    try {
        return resolvedFormat(file, format) != FileFormat::Sigmf && describingMetadata(file).has_value();
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<QString> datatypeImplied(const std::string& file, FileFormat format)
{
    if (!needsSampleRate(file, format))
        return std::nullopt;
    if (resolvedFormat(file, format) == FileFormat::Iqw)
        return QStringLiteral("cf32_le");
    const std::optional<std::string> implied = format == FileFormat::Auto ? ::impliedDatatype(file) : std::nullopt;
    return implied ? std::optional<QString>(QString::fromStdString(*implied)) : std::nullopt;
}

} // namespace

std::optional<QString> impliedDatatype(const RecordingRequest& request)
{
    if (request.format < 0 || request.format > static_cast<int>(FileFormat::Iqw))
        return std::nullopt;
    const auto format = static_cast<FileFormat>(request.format);
    const std::string file = nativePath(request.path);
    // Metadata that describes the file names its datatype.
    if (describedBeside(file, format))
        return std::nullopt;
    return datatypeImplied(file, format);
}

std::shared_ptr<Recording> readRecording(const RecordingRequest& request)
{
    const std::string file = nativePath(request.path);
    if (request.format < 0 || request.format > static_cast<int>(FileFormat::Iqw))
        throw FileError(unknownFormat(file));
    const auto format = static_cast<FileFormat>(request.format);
    std::string datatype;
    double rate = 0;
    if (needsSampleRate(file, format)) {
        datatype = datatypeImplied(file, format).value_or(request.datatype).toStdString();
        // Metadata that describes the file gives its rate: the field may be empty.
        try {
            rate = sampleRateOf(request.rate);
        } catch (const std::exception&) {
            if (!describedBeside(file, format))
                throw;
        }
    }
    auto read = std::make_shared<Recording>();
    read->take(openRecording(file, format, datatype, rate, request.archiveMember));
    if (read->sampleRate() == 0)
        throw std::runtime_error("Invalid sample rate: the file gives 0 samples per second");
    // The stop time field takes the duration: a recording without samples has none.
    if (read->sampleCount() == 0)
        throw FileError(quotedPath(file) + " holds no samples");
    return read;
}

void checkRecordingRequest(FileFormatChoice choice, const QString& datatype, const QString& rate)
{
    const auto format = static_cast<FileFormat>(choice);
    if (format != FileFormat::Binary && format != FileFormat::Iqw)
        return;
    if (format == FileFormat::Binary) {
        const std::string fault = datatypeFault(datatype.toStdString());
        if (!fault.empty())
            throw std::runtime_error("The datatype \"" + datatype.toStdString() + "\" cannot be read: " + fault);
    }
    sampleRateOf(rate);
}
