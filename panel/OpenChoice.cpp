// A recording read as the Open group chooses.

#include "panel/OpenChoice.h"

#include "io/Recording.h"
#include "io/RecordingOpener.h"
#include "io/SampleFormat.h"
#include "panel/FieldReader.h"
#include "panel/LineEdits.h"

#include <QLineEdit>

#include <stdexcept>
#include <string>

namespace {

// A recording stores whole samples per second in 32 bits: a rate below 1 would
// become 0 and one of 2^32 or more would lose its high bits.
constexpr double minSampleRate = 1.0;
constexpr double sampleRateLimit = 4294967296.0;

double sampleRateOf(const StrictPositiveLineEdit* field)
{
    const FieldReader rate([](const QString& message) { throw std::runtime_error(message.toStdString()); });
    return *rate.read(field, "sample rate", [](double value) {
        if (value < minSampleRate)
            throw std::runtime_error("input shall be >= 1");
        if (value >= sampleRateLimit)
            throw std::runtime_error("input shall be < 4294967296");
    });
}

} // namespace

std::shared_ptr<Recording> readChosenRecording(const QString& path, int choice,
                                               QLineEdit* binaryFormatEdit,
                                               const StrictPositiveLineEdit* sampleRateEdit,
                                               std::size_t archiveRecording)
{
    if (choice < 0 || choice > static_cast<int>(FileFormat::Iqw))
        throw std::runtime_error("Unsupported file format");
    const auto format = static_cast<FileFormat>(choice);
    const std::string file = path.toStdString();
    std::string datatype;
    double rate = 0;
    if (needsSampleRate(file, format)) {
        // The datatype the format or the ending names goes into the field.
        const std::optional<std::string> implied =
            format == FileFormat::Auto ? impliedDatatype(file) : std::nullopt;
        if (resolvedFormat(file, format) == FileFormat::Iqw)
            binaryFormatEdit->setText("cf32_le");
        else if (implied)
            binaryFormatEdit->setText(QString::fromStdString(*implied));
        datatype = binaryFormatEdit->text().toStdString();
        rate = sampleRateOf(sampleRateEdit);
    }
    auto fresh = std::make_shared<Recording>();
    fresh->take(openRecording(file, format, datatype, rate, archiveRecording));
    if (fresh->sampleRate() == 0)
        throw std::runtime_error("Invalid sample rate: the file gives 0 samples per second");
    // The stop time field takes the duration: a recording without samples has none.
    if (fresh->sampleCount() == 0)
        throw std::runtime_error("input shall be > 0");
    return fresh;
}

void checkOpenFields(int choice, const QString& datatype, const StrictPositiveLineEdit* sampleRateEdit)
{
    const auto format = static_cast<FileFormat>(choice);
    if (format != FileFormat::Binary && format != FileFormat::Iqw)
        return;
    if (format == FileFormat::Binary) {
        const SampleFormat parsed = parseSampleFormat(datatype.toStdString());
        if (!chunkDecoderFor(parsed))
            throw std::runtime_error("Unsupported datatype");
    }
    sampleRateOf(sampleRateEdit);
}
