// SigMF annotation objects written member by member, in the object's own order.

#include "sigmf/AnnotationFields.h"

#include "io/CaptureLookup.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

using Json = nlohmann::ordered_json;

// A frequency as written: a whole number of hertz as an integer, others as they are.
Json hertz(double value)
{
    if (std::floor(value) == value && std::abs(value) < 0x1p53)
        return static_cast<int64_t>(value);
    return value;
}

Json edgeValue(double baseband, const std::optional<double>& centre)
{
    return hertz(centre ? *centre + baseband : baseband);
}

RecordingAnnotation annotationOf(const AnnotationFields& fields, const Json& object)
{
    RecordingAnnotation annotation;
    annotation.sampleStart = fields.sampleStart;
    annotation.sampleCount = fields.sampleCount;
    if (fields.lowFrequency && fields.highFrequency) {
        annotation.lowFrequency = fields.lowFrequency;
        annotation.highFrequency = fields.highFrequency;
    }
    annotation.label = fields.label;
    annotation.comment = fields.comment;
    annotation.sigmfFields = object.dump();
    return annotation;
}

// Sets key to text, or takes the key out for an empty text.
void setText(Json& object, const char* key, const std::string& text)
{
    if (text.empty())
        object.erase(key);
    else
        object[key] = text;
}

} // namespace

AnnotationFields AnnotationFields::of(const RecordingAnnotation& annotation)
{
    return {annotation.sampleStart, annotation.sampleCount, annotation.lowFrequency,
            annotation.highFrequency, annotation.label, annotation.comment};
}

std::string annotationGenerator()
{
    return std::string("Norvale ") + NORVALE_VERSION;
}

RecordingAnnotation createdAnnotation(const AnnotationFields& fields, const RecordingInfo& info,
                                      const std::string& uuid)
{
    Json object = Json::object();
    object["core:sample_start"] = fields.sampleStart;
    object["core:sample_count"] = fields.sampleCount;
    if (fields.lowFrequency && fields.highFrequency) {
        const std::optional<double> centre = centreFrequencyAt(info, fields.sampleStart);
        object["core:freq_lower_edge"] = edgeValue(*fields.lowFrequency, centre);
        object["core:freq_upper_edge"] = edgeValue(*fields.highFrequency, centre);
    }
    object["core:label"] = fields.label;
    object["core:comment"] = fields.comment;
    object["core:generator"] = annotationGenerator();
    object["core:uuid"] = uuid;
    return annotationOf(fields, object);
}

RecordingAnnotation editedAnnotation(const RecordingAnnotation& old, const AnnotationFields& fields,
                                     const RecordingInfo& info)
{
    Json object = old.sigmfFields.empty() ? Json::object() : Json::parse(old.sigmfFields);
    if (!object.is_object())
        object = Json::object();
    if (fields.sampleStart != old.sampleStart || !object.contains("core:sample_start"))
        object["core:sample_start"] = fields.sampleStart;
    if (fields.sampleCount != old.sampleCount || !object.contains("core:sample_count"))
        object["core:sample_count"] = fields.sampleCount;

    const std::optional<double> oldCentre = centreFrequencyAt(info, old.sampleStart);
    const std::optional<double> centre = centreFrequencyAt(info, fields.sampleStart);
    if (fields.lowFrequency && fields.highFrequency) {
        const bool moved = oldCentre != centre;
        if (moved || fields.lowFrequency != old.lowFrequency || !object.contains("core:freq_lower_edge"))
            object["core:freq_lower_edge"] = edgeValue(*fields.lowFrequency, centre);
        if (moved || fields.highFrequency != old.highFrequency || !object.contains("core:freq_upper_edge"))
            object["core:freq_upper_edge"] = edgeValue(*fields.highFrequency, centre);
    } else {
        object.erase("core:freq_lower_edge");
        object.erase("core:freq_upper_edge");
    }

    if (fields.label != old.label)
        setText(object, "core:label", fields.label);
    if (fields.comment != old.comment) {
        // The comment shown may have come from core:description.
        if (!object.contains("core:comment"))
            object.erase("core:description");
        setText(object, "core:comment", fields.comment);
    }
    return annotationOf(fields, object);
}
