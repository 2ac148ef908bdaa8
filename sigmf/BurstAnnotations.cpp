// Found bursts written as annotations.

#include "sigmf/BurstAnnotations.h"

#include "sigmf/AnnotationFields.h"
#include "sigmf/Uuid.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

using Json = nlohmann::ordered_json;

// What was measured of a burst, as members of our namespace. Per-burst
// estimates (symbol rate, modulation) go here too.
void addMeasurements(Json& object, const Burst& burst)
{
    object["norvale:snr_db"] = std::round(burst.snrDb * 100.0) / 100.0;
}

} // namespace

RecordingAnnotation burstAnnotation(const Burst& burst, const RecordingInfo& info, const std::string& uuid)
{
    AnnotationFields fields;
    fields.sampleStart = burst.sampleStart;
    fields.sampleCount = burst.sampleCount;
    fields.lowFrequency = burst.lowHz;
    fields.highFrequency = burst.highHz;
    fields.label = burstLabel;
    RecordingAnnotation annotation = createdAnnotation(fields, info, uuid);
    Json object = Json::parse(annotation.sigmfFields);
    addMeasurements(object, burst);
    annotation.sigmfFields = object.dump();
    return annotation;
}

std::vector<RecordingAnnotation> burstAnnotations(const std::vector<Burst>& bursts, const RecordingInfo& info)
{
    std::vector<RecordingAnnotation> annotations;
    for (const Burst& burst : bursts)
        annotations.push_back(burstAnnotation(burst, info, randomUuid()));
    return annotations;
}
