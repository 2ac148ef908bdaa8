// A recording's own metadata saved with its annotations changed: every member
// the change does not touch keeps its value and place, the annotations come out
// sorted, entries the reader could not use come back as they were, and edges
// are written against the capture that holds their start.

#include "io/Recording.h"
#include "io/SigmfFile.h"
#include "sigmf/AnnotationFields.h"
#include "sigmf/AnnotationList.h"
#include "sigmf/MetadataDocument.h"
#include "tests/io/IoTestFiles.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Json = nlohmann::ordered_json;

// Two captures (100 MHz from sample 0, 101 MHz from 500), members of other
// namespaces in odd places, and annotations out of order: a late one with
// members of its own, one with absolute edges, one the reader cannot use (a
// single edge) and one without a start at all.
const std::string metadata = R"({
  "global": {"core:sample_rate": 1000, "zz:custom": {"b": 1, "a": [3, 2]},
             "core:datatype": "ri8", "core:version": "1.0.0", "aa:first": true},
  "captures": [{"core:sample_start": 0, "core:frequency": 100000000, "x:gain": 3},
               {"core:sample_start": 500, "core:frequency": 101000000.0,
                "core:datetime": "2024-05-01T12:00:00.5Z"}],
  "annotations": [
    {"z:kept": 1, "core:sample_start": 300, "core:sample_count": 10, "core:label": "late", "a:first": 0},
    {"core:sample_start": 100, "core:sample_count": 20, "core:freq_lower_edge": 99999000,
     "core:freq_upper_edge": 100001000.5, "core:description": "old comment"},
    {"core:sample_start": 50, "core:sample_count": 2, "core:freq_lower_edge": 5},
    {"core:comment": "no start"}
  ],
  "zz:trailer": {"kept": "yes"}
})";

std::string dumped(const Json& value)
{
    return value.dump();
}

} // namespace

TEST(MetadataRewrite, UntouchedMembersKeepTheirValuesAndOrder)
{
    TempDir dir;
    const std::string meta = dir.writeText("rec.sigmf-meta", metadata);
    dir.write("rec.sigmf-data", Bytes(1000, 1));
    Recording recording;
    recording.take(readSigmfFile(meta));
    const RecordingInfo& info = recording.info();
    ASSERT_EQ(info.captures.size(), 2u);
    ASSERT_EQ(info.annotations.size(), 2u);
    ASSERT_TRUE(info.sigmf);
    ASSERT_EQ(info.sigmf->unreadAnnotations.size(), 2u);
    const Json original = Json::parse(metadata);
    const Json& late = original["annotations"][0];
    const Json& edged = original["annotations"][1];

    using Edit = std::function<void(AnnotationList&)>;
    const auto editOf = [&info](uint64_t start, const std::function<void(AnnotationFields&)>& change) {
        return [&info, start, change](AnnotationList& list) {
            for (const AnnotationList::Entry& entry : list.entries())
                if (entry.annotation.sampleStart == start) {
                    AnnotationFields fields = AnnotationFields::of(entry.annotation);
                    change(fields);
                    list.change({entry}, {{entry.id, editedAnnotation(entry.annotation, fields, info)}});
                    return;
                }
        };
    };
    const struct
    {
        const char* name;
        Edit edit;
        // The annotations written, as JSON text, in their order.
        std::vector<std::string> annotations;
    } rows[] = {
        {"nothing changed", [](AnnotationList&) {},
         {dumped(original["annotations"][2]), dumped(edged), dumped(late), dumped(original["annotations"][3])}},
        {"a label", editOf(300, [](AnnotationFields& f) { f.label = "later"; }),
         {dumped(original["annotations"][2]), dumped(edged),
          R"({"z:kept":1,"core:sample_start":300,"core:sample_count":10,"core:label":"later","a:first":0})",
          dumped(original["annotations"][3])}},
        // The comment replaces the description it was read from.
        {"a comment", editOf(100, [](AnnotationFields& f) { f.comment = "new"; }),
         {dumped(original["annotations"][2]),
          R"({"core:sample_start":100,"core:sample_count":20,"core:freq_lower_edge":99999000,"core:freq_upper_edge":100001000.5,"core:comment":"new"})",
          dumped(late), dumped(original["annotations"][3])}},
        // Moved into the second capture: its edges now against 101 MHz, and after the late one.
        {"a start across captures", editOf(100, [](AnnotationFields& f) { f.sampleStart = 600; }),
         {dumped(original["annotations"][2]), dumped(late),
          R"({"core:sample_start":600,"core:sample_count":20,"core:freq_lower_edge":100999000,"core:freq_upper_edge":101001000.5,"core:description":"old comment"})",
          dumped(original["annotations"][3])}},
        {"edges taken away", editOf(100, [](AnnotationFields& f) { f.lowFrequency.reset(); f.highFrequency.reset(); }),
         {dumped(original["annotations"][2]),
          R"({"core:sample_start":100,"core:sample_count":20,"core:description":"old comment"})",
          dumped(late), dumped(original["annotations"][3])}},
        {"the label cleared", editOf(300, [](AnnotationFields& f) { f.label.clear(); }),
         {dumped(original["annotations"][2]), dumped(edged),
          R"({"z:kept":1,"core:sample_start":300,"core:sample_count":10,"a:first":0})",
          dumped(original["annotations"][3])}},
        // New ones: absolute edges against the centre of the capture holding their start.
        {"a new annotation",
         [&info](AnnotationList& list) {
             AnnotationFields fields{50, 7, -1000, 2500, "burst", "seen twice"};
             list.change({}, {{list.newId(), createdAnnotation(fields, info, "uuid-1")}});
             fields = {700, 3, -500.25, 500, "", ""};
             list.change({}, {{list.newId(), createdAnnotation(fields, info, "uuid-2")}});
         },
         {R"({"core:sample_start":50,"core:sample_count":7,"core:freq_lower_edge":99999000,"core:freq_upper_edge":100002500,"core:label":"burst","core:comment":"seen twice","core:generator":")"
              + annotationGenerator() + R"(","core:uuid":"uuid-1"})",
          dumped(original["annotations"][2]), dumped(edged), dumped(late),
          R"({"core:sample_start":700,"core:sample_count":3,"core:freq_lower_edge":100999499.75,"core:freq_upper_edge":101000500,"core:label":"","core:comment":"","core:generator":")"
              + annotationGenerator() + R"(","core:uuid":"uuid-2"})",
          dumped(original["annotations"][3])}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        AnnotationList list;
        list.reset(info.annotations);
        row.edit(list);
        const Json saved = Json::parse(
            metadataWithAnnotations(info.sigmf->metadata, "rec.sigmf-meta", list.annotations(),
                                    info.sigmf->unreadAnnotations));
        std::vector<std::string> keys;
        for (const auto& [key, value] : saved.items())
            keys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::string>{"global", "captures", "annotations", "zz:trailer"}));
        EXPECT_EQ(saved["global"].dump(), original["global"].dump());
        EXPECT_EQ(saved["captures"].dump(), original["captures"].dump());
        EXPECT_EQ(saved["zz:trailer"].dump(), original["zz:trailer"].dump());
        std::vector<std::string> annotations;
        for (const Json& entry : saved["annotations"])
            annotations.push_back(entry.dump());
        EXPECT_EQ(annotations, row.annotations);
    }
}

TEST(MetadataRewrite, RefusesTextThatIsNoObjectOrNestsTooDeep)
{
    const std::string deep = std::string(513, '[') + std::string(513, ']');
    const std::string tooDeep = "The metadata file \"rec.sigmf-meta\" nests deeper than 512 levels";
    const struct
    {
        std::string text;
        std::vector<std::string> unread;
        std::string message; // "*" for the JSON library's own
    } rows[] = {
        {"[]", {}, "The SigMF metadata is not a JSON object"},
        {"42", {}, "The SigMF metadata is not a JSON object"},
        {"\"text\"", {}, "The SigMF metadata is not a JSON object"},
        {"{\"global\": ", {}, "*"},
        {"{\"x\": " + deep + "}", {}, tooDeep},
        {"{\"x\": " + std::string(100000, '['), {}, tooDeep},
        {"{}", {"{\"x\": " + deep + "}"}, tooDeep},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        const std::string message =
            thrownMessage([&] { metadataWithAnnotations(row.text, "rec.sigmf-meta", {}, row.unread); });
        if (row.message == "*")
            EXPECT_EQ(message.rfind("[json.exception.parse_error.", 0), 0u) << message;
        else
            EXPECT_EQ(message, row.message);
    }
}
