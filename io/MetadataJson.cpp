// The depth comes from the parser's own callback, which it calls with the
// number of containers already open as each new one starts.

#include "io/MetadataJson.h"

#include "io/FileError.h"

#include <stdexcept>

namespace {

using Json = nlohmann::ordered_json;

// Thrown from inside the parser, which holds no more than maxMetadataDepth levels then.
struct TooDeep
{
};

} // namespace

Json parseMetadataJson(const std::string& text, const std::string& name)
{
    const Json::parser_callback_t bound = [](int depth, Json::parse_event_t event, Json&) {
        const bool opens = event == Json::parse_event_t::object_start
                           || event == Json::parse_event_t::array_start;
        if (opens && depth >= maxMetadataDepth)
            throw TooDeep{};
        return true;
    };
    try {
        return Json::parse(text, bound);
    } catch (const TooDeep&) {
        throw FileError("The metadata file \"" + name + "\" nests deeper than "
                                 + std::to_string(maxMetadataDepth) + " levels");
    }
}
