// Metadata of exports: stale global fields removed, annotation windows clipped
// and scaled, the source's own numbers kept where nothing moved them.

#include "export/ExportMetadata.h"

#include "io/CaptureLookup.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* sigmfVersion = "1.2.0";
// Our namespace, as core:extensions declares it.
constexpr const char* ownNamespace = "norvale";
constexpr const char* ownNamespaceVersion = "1.0.0";

// Global fields of the source that no longer describe the export: its dataset
// file, layout, size and checksum, and those the export sets itself.
constexpr const char* staleGlobalKeys[] = {
    "core:dataset",       "core:num_channels", "core:offset",   "core:trailing_bytes",
    "core:header_bytes",  "core:sha512",       "core:metadata_only", "core:description",
    "core:datatype",      "core:sample_rate",  "core:version"};

// value, as an integer when it is whole (sample rates read better so).
Json number(double value)
{
    if (std::floor(value) == value && std::abs(value) < 0x1p53)
        return static_cast<int64_t>(value);
    return value;
}

// The frequency edge to write: the source's own number when nothing moved it.
// centre is that of the source's capture holding the annotation.
Json edge(double baseband, double clipped, const Json* original, std::optional<double> centre,
          const AnnotationWindow& window)
{
    const bool untouched = clipped == baseband && (centre || window.shift == 0.0);
    if (untouched && original && original->is_number())
        return *original;
    return centre ? *centre + clipped : clipped - window.shift;
}

// core:extensions with our namespace declared (once).
Json withOwnNamespace(Json extensions)
{
    if (!extensions.is_array())
        extensions = Json::array();
    for (const Json& entry : extensions)
        if (entry.is_object() && entry.value("name", Json()) == ownNamespace)
            return extensions;
    extensions.push_back({{"name", ownNamespace}, {"version", ownNamespaceVersion}, {"optional", true}});
    return extensions;
}

} // namespace

Json exportedAnnotations(const RecordingInfo& source, const AnnotationWindow& window)
{
    struct Placed
    {
        uint64_t start;
        Json object;
    };
    std::vector<Placed> placed;
    const uint64_t d = window.decimation;
    for (const RecordingAnnotation& annotation : source.annotations) {
        const uint64_t start = annotation.sampleStart;
        const uint64_t stop = annotation.sampleCount > std::numeric_limits<uint64_t>::max() - start
                                  ? std::numeric_limits<uint64_t>::max()
                                  : start + annotation.sampleCount;
        const bool overlaps = annotation.sampleCount == 0
                                  ? start >= window.first && start < window.end
                                  : start < window.end && stop > window.first;
        if (!overlaps)
            continue;
        const bool edges = annotation.lowFrequency && annotation.highFrequency;
        double low = edges ? *annotation.lowFrequency : 0.0;
        double high = edges ? *annotation.highFrequency : 0.0;
        if (edges && window.bandLow && window.bandHigh) {
            if (high < *window.bandLow || low > *window.bandHigh)
                continue;
            low = std::max(low, *window.bandLow);
            high = std::min(high, *window.bandHigh);
        }

        Json object = annotation.sigmfFields.empty() ? Json::object()
                                                     : Json::parse(annotation.sigmfFields);
        if (annotation.sigmfFields.empty()) {
            if (!annotation.label.empty())
                object["core:label"] = annotation.label;
            if (!annotation.comment.empty())
                object["core:comment"] = annotation.comment;
        }
        const uint64_t first = (std::max(start, window.first) - window.first) / d;
        const uint64_t last = (std::min(stop, window.end) - window.first + d - 1) / d;
        object["core:sample_start"] = first;
        object["core:sample_count"] = std::max<uint64_t>(1, last - std::min(last, first));
        if (edges) {
            const auto originalOf = [&object](const char* key) -> const Json* {
                const auto found = object.find(key);
                return found == object.end() ? nullptr : &*found;
            };
            const std::optional<double> centre = centreFrequencyAt(source, annotation.sampleStart);
            const Json lower = edge(*annotation.lowFrequency, low, originalOf("core:freq_lower_edge"), centre, window);
            const Json upper = edge(*annotation.highFrequency, high, originalOf("core:freq_upper_edge"), centre, window);
            object["core:freq_lower_edge"] = lower;
            object["core:freq_upper_edge"] = upper;
        }
        placed.push_back({first, std::move(object)});
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.start < b.start; });
    Json result = Json::array();
    for (Placed& entry : placed)
        result.push_back(std::move(entry.object));
    return result;
}

Json exportMetadata(const RecordingInfo& source, const ExportFacts& facts, Json annotations)
{
    Json global = Json::object();
    global["core:datatype"] = facts.datatype;
    global["core:sample_rate"] = number(facts.sampleRate);
    global["core:version"] = sigmfVersion;
    global["core:description"] = facts.description;
    global["core:sha512"] = facts.sha512;
    if (!source.sigmfGlobal.empty()) {
        Json kept = Json::parse(source.sigmfGlobal);
        for (const char* key : staleGlobalKeys)
            kept.erase(key);
        for (auto& [key, value] : kept.items())
            global[key] = std::move(value);
    }

    if (facts.frequencyShift) {
        const auto earlier = global.find(frequencyShiftKey);
        const double before = earlier != global.end() && earlier->is_number() ? earlier->get<double>() : 0.0;
        global[frequencyShiftKey] = before + *facts.frequencyShift;
        global["core:extensions"] = withOwnNamespace(global.value("core:extensions", Json()));
    }

    Json captures = Json::array();
    for (const ExportCapture& entry : facts.captures) {
        Json capture = Json::object();
        capture["core:sample_start"] = entry.sampleStart;
        if (entry.frequency)
            capture["core:frequency"] = *entry.frequency;
        if (!entry.datetime.empty())
            capture["core:datetime"] = entry.datetime;
        captures.push_back(std::move(capture));
    }

    Json document = Json::object();
    document["global"] = std::move(global);
    document["captures"] = std::move(captures);
    document["annotations"] = std::move(annotations);
    return document;
}
