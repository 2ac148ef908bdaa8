// Metadata documents built as ordered JSON, so that what a file had keeps its
// order.

#include "sigmf/MetadataDocument.h"

#include "io/MetadataJson.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

using Json = nlohmann::ordered_json;

constexpr int jsonIndent = 2;
constexpr const char* sigmfVersion = "1.2.0";

// The start an entry is sorted by: its whole core:sample_start, or after all others.
uint64_t sortKey(const Json& entry)
{
    constexpr uint64_t last = std::numeric_limits<uint64_t>::max();
    if (!entry.is_object())
        return last;
    const auto found = entry.find("core:sample_start");
    if (found == entry.end())
        return last;
    if (found->is_number_unsigned())
        return found->get<uint64_t>();
    if (found->is_number_integer())
        return found->get<int64_t>() >= 0 ? static_cast<uint64_t>(found->get<int64_t>()) : last;
    if (found->is_number_float()) {
        const double x = found->get<double>();
        return x >= 0 && x < 1.8e19 && std::floor(x) == x ? static_cast<uint64_t>(x) : last;
    }
    return last;
}

// The entries' texts come from the metadata file called name.
Json annotationArray(const std::vector<RecordingAnnotation>& annotations,
                     const std::vector<std::string>& unread, const std::string& name)
{
    std::vector<Json> entries;
    entries.reserve(annotations.size() + unread.size());
    for (const RecordingAnnotation& annotation : annotations) {
        Json object = annotation.sigmfFields.empty() ? Json::object()
                                                     : parseMetadataJson(annotation.sigmfFields, name);
        if (annotation.sigmfFields.empty()) {
            object["core:sample_start"] = annotation.sampleStart;
            object["core:sample_count"] = annotation.sampleCount;
        }
        entries.push_back(std::move(object));
    }
    for (const std::string& text : unread)
        entries.push_back(parseMetadataJson(text, name));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Json& a, const Json& b) { return sortKey(a) < sortKey(b); });
    Json array = Json::array();
    for (Json& entry : entries)
        array.push_back(std::move(entry));
    return array;
}

// SigMF names its 8-bit types without a byte order.
std::string sigmfDatatype(const std::string& datatype)
{
    for (const char* eightBit : {"ci8_le", "cu8_le", "ri8_le", "ru8_le"})
        if (datatype == eightBit)
            return datatype.substr(0, 3);
    return datatype;
}

// value, as an integer when it is whole (hertz and sample rates read better so).
Json hertz(double value)
{
    if (std::floor(value) == value && std::abs(value) < 0x1p53)
        return static_cast<int64_t>(value);
    return value;
}

// The namespace of the members Norvale adds to annotations (a found burst's SNR).
constexpr const char* ownNamespace = "norvale";
constexpr const char* ownNamespaceVersion = "1.0.0";

// `global` with our namespace declared in core:extensions when an annotation
// has a member of it (a document holding none is left as it was).
void declareOwnNamespace(Json& document)
{
    const auto annotations = document.find("annotations");
    if (annotations == document.end() || !annotations->is_array())
        return;
    const std::string prefix = std::string(ownNamespace) + ":";
    bool used = false;
    for (const Json& entry : *annotations)
        if (entry.is_object())
            for (const auto& member : entry.items())
                used = used || member.key().rfind(prefix, 0) == 0;
    if (!used)
        return;
    Json& global = document["global"];
    if (!global.is_object())
        return;
    Json& extensions = global["core:extensions"];
    if (!extensions.is_array())
        extensions = Json::array();
    for (const Json& entry : extensions)
        if (entry.is_object() && entry.value("name", Json()) == ownNamespace)
            return;
    extensions.push_back({{"name", ownNamespace}, {"version", ownNamespaceVersion}, {"optional", true}});
}

} // namespace

std::string metadataWithAnnotations(const std::string& metadata, const std::string& name,
                                    const std::vector<RecordingAnnotation>& annotations,
                                    const std::vector<std::string>& unread, bool withoutDataset)
{
    Json document = parseMetadataJson(metadata, name);
    if (!document.is_object())
        throw std::runtime_error("The SigMF metadata is not a JSON object");
    if (withoutDataset) {
        const auto global = document.find("global");
        if (global != document.end() && global->is_object())
            global->erase("core:dataset");
    }
    document["annotations"] = annotationArray(annotations, unread, name);
    declareOwnNamespace(document);
    return document.dump(jsonIndent) + "\n";
}

std::string datasetMetadata(const DatasetFacts& facts,
                            const std::vector<RecordingAnnotation>& annotations)
{
    Json global = Json::object();
    global["core:datatype"] = sigmfDatatype(facts.datatype);
    global["core:sample_rate"] = hertz(facts.sampleRate);
    global["core:version"] = sigmfVersion;
    global["core:dataset"] = facts.dataset;
    if (facts.trailingBytes > 0)
        global["core:trailing_bytes"] = facts.trailingBytes;

    Json capture = Json::object();
    capture["core:sample_start"] = 0;
    if (facts.headerBytes > 0)
        capture["core:header_bytes"] = facts.headerBytes;
    if (facts.frequency)
        capture["core:frequency"] = hertz(*facts.frequency);
    if (!facts.datetime.empty())
        capture["core:datetime"] = facts.datetime;

    Json document = Json::object();
    document["global"] = std::move(global);
    document["captures"] = Json::array({std::move(capture)});
    document["annotations"] = annotationArray(annotations, {}, facts.dataset);
    declareOwnNamespace(document);
    return document.dump(jsonIndent) + "\n";
}
