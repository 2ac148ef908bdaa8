// --detect: the bursts as JSON, and saved as annotations when asked.

#include "app/DetectRun.h"

#include "annotations/AnnotationSaver.h"
#include "dsp/BurstDetector.h"
#include "dsp/WorkControl.h"
#include "io/Recording.h"
#include "plotdata/RangePass.h"
#include "session/NativePath.h"
#include "session/NumberText.h"
#include "sigmf/BurstAnnotations.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <iostream>

namespace {

// A number option's value (> 0), or a message in the words of the window's fields.
std::optional<double> positiveValue(const QString& text, const char* what)
{
    try {
        return strictlyPositiveNumber(text);
    } catch (const std::exception& error) {
        std::cerr << "Invalid " << what << ": " << error.what() << std::endl;
        return std::nullopt;
    }
}

// The bursts as the contract prints them, members in its order.
std::string detectionJson(const BurstDetection& detection, double sampleRate)
{
    nlohmann::ordered_json out;
    out["noiseFloorDbHz"] = detection.noiseFloorDbHz;
    nlohmann::ordered_json bursts = nlohmann::ordered_json::array();
    for (const Burst& b : detection.bursts) {
        nlohmann::ordered_json entry;
        entry["sampleStart"] = b.sampleStart;
        entry["sampleCount"] = b.sampleCount;
        entry["startS"] = static_cast<double>(b.sampleStart) / sampleRate;
        entry["stopS"] = static_cast<double>(b.sampleStart + b.sampleCount) / sampleRate;
        entry["lowHz"] = b.lowHz;
        entry["highHz"] = b.highHz;
        entry["snrDb"] = b.snrDb;
        bursts.push_back(std::move(entry));
    }
    out["bursts"] = std::move(bursts);
    return out.dump();
}

} // namespace

int writeDetection(Recording& recording, const ViewSettings& settings, const DcOffset& offset,
                   const CommandLineOptions& o)
{
    BurstRequest request;
    request.sampleRate = recording.sampleRate();
    const StreamRange range =
        streamRangeOf(request.sampleRate, recording.sampleCount(), settings.range.start, settings.range.stop);
    request.first = range.first;
    request.end = range.end;
    request.low = settings.band.low;
    request.high = settings.band.high;
    request.offset = offset;
    if (o.threshold) {
        const std::optional<double> db = positiveValue(*o.threshold, "threshold");
        if (!db)
            return 1;
        request.thresholdDb = *db;
    }
    if (o.minDuration) {
        request.minDuration = positiveValue(*o.minDuration, "minimum duration");
        if (!request.minDuration)
            return 1;
    }
    const RecordingInfo& info = recording.info();
    if (o.saveAnnotations && info.sigmf && info.sigmf->archive) {
        std::cerr << "The annotations were not saved: a SigMF archive is never rewritten; open it in the window "
                     "to save an annotated copy"
                  << std::endl;
        return 1;
    }
    BurstDetection detection;
    try {
        WorkControl control;
        detection = detectBursts(*recording.samples(), request, control);
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    if (o.saveAnnotations) {
        std::vector<RecordingAnnotation> annotations = info.annotations;
        for (RecordingAnnotation& added : burstAnnotations(detection.bursts, info))
            annotations.push_back(std::move(added));
        AnnotationSaver saver(&recording, nullptr);
        bool failed = false;
        saver.setMessageSink([&failed](QMessageBox::Icon, const QString&, const QString& text) {
            std::cerr << nativePath(text) << std::endl;
            failed = true;
        });
        saver.recordingLoaded();
        if (!saver.save(annotations) || failed)
            return 1;
    }
    std::cout << detectionJson(detection, request.sampleRate) << std::endl;
    return 0;
}
