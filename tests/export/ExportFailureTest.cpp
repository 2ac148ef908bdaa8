// Exports that cannot be made: refused requests, destinations that are the
// recording's own files or cannot be written, a full file system, and
// cancellation. Each leaves the folder as it was.

#include "export/ExportSelection.h"
#include "tests/export/ExportTestFiles.h"
#include "tests/support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <map>

#include <unistd.h>

namespace {

// Cancels the export's control once it has read a block, as a user's click would.
class CancellingSource final : public SampleSource
{
public:
    CancellingSource(std::shared_ptr<const SampleSource> inner, WorkControl& control)
        : inner(std::move(inner)), control(control)
    {
    }
    uint64_t size() const override { return inner->size(); }
    void read(uint64_t first, size_t count, double* i, double* q) const override
    {
        inner->read(first, count, i, q);
        control.cancel();
    }

private:
    std::shared_ptr<const SampleSource> inner;
    WorkControl& control;
};


// The names in a folder and what each holds: a file's bytes, a link's target,
// nothing for a folder.
std::map<std::string, Bytes> folderContents(const std::string& folder)
{
    std::map<std::string, Bytes> contents;
    for (const std::string& name : folderNames(folder)) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        if (std::filesystem::is_symlink(path))
            append(contents[name], "link to " + std::filesystem::read_symlink(path).string());
        else if (std::filesystem::is_regular_file(path))
            contents[name] = fileBytes(path.string());
    }
    return contents;
}

} // namespace

TEST(ExportFailure, NothingLeftBehind)
{
    enum Setup { none, cancelFirst, cancelWhileReading, limitFileSize, directoryThere, hardLinkedData,
                 dataThereMetaDirectory, linkThereMetaDirectory, dataDirectory };
    const std::string ownFile = ": it is a file of the open recording, which the export would replace";
    const struct
    {
        std::string name; // the destination, in the folder
        Setup setup;
        std::string message; // "$" for the folder
        uint64_t first = 0, end = 5000;
        std::optional<ExportBand> band = {};
    } rows[] = {
        {"out.sigmf-meta", cancelFirst, "Cancelled"},
        {"out.sigmf", cancelWhileReading, "Cancelled"},
        {"out.wav", cancelWhileReading, "Cancelled", 0, 5000, ExportBand{-100, 100}},
        {"missing/out.wav", none, "Cannot write $/missing/out.wav: No such file or directory"},
        {"src.sigmf-data/out.sigmf", none, "Cannot write $/src.sigmf-data/out.sigmf: Not a directory"},
        {"out.sigmf-meta", limitFileSize, "Cannot write $/out.sigmf-data: File too large"},
        {"out.sigmf", limitFileSize, "Cannot write $/out.sigmf: File too large"},
        // The data file is renamed into place first, then taken back.
        {"sub.sigmf-meta", directoryThere, "Cannot write $/sub.sigmf-meta: Is a directory"},
        // What had the data's name before gets it back as it was.
        {"sub.sigmf-meta", dataThereMetaDirectory, "Cannot write $/sub.sigmf-meta: Is a directory"},
        {"sub.sigmf-meta", linkThereMetaDirectory, "Cannot write $/sub.sigmf-meta: Is a directory"},
        {"sub.sigmf-meta", dataDirectory, "Cannot write $/sub.sigmf-data: Is a directory"},
        {"src.sigmf-meta", none, "Cannot export to $/src.sigmf-meta" + ownFile},
        {"SRC.sigmf-data", none, "Cannot export to $/SRC.sigmf-data: the name must end in .sigmf-meta, .sigmf or .wav"},
        {"other.sigmf-meta", hardLinkedData, "Cannot export to $/other.sigmf-data" + ownFile},
        {"out.wav", none, "The time range to export is empty or beyond the end of the recording", 7, 7},
        {"out.wav", none, "The time range to export is empty or beyond the end of the recording", 0, 5001},
        {"out.wav", none, "The band to export must lie within -500 and 500 Hz, its low edge below its high edge",
         0, 5000, ExportBand{-100, 501}},
        {"out.wav", none, "The band to export must lie within -500 and 500 Hz, its low edge below its high edge",
         0, 5000, ExportBand{100, 100}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name + " " + std::to_string(row.setup));
        TempDir dir;
        const Bytes data = storedValues('i', 16, true, true, std::vector<double>(5000, 7.0),
                                        std::vector<double>(5000, -3.0));
        const std::vector<std::string> files = {
            dir.writeText("src.sigmf-meta", R"({"global": {"core:datatype": "ci16_le", "core:sample_rate": 1000}})"),
            dir.write("src.sigmf-data", data)};
        Recording recording;
        recording.loadSigmf(files[0]);
        WorkControl control;
        ExportSource source = exportSourceOf(recording, files);
        if (row.setup == cancelFirst)
            control.cancel();
        if (row.setup == cancelWhileReading) {
            // Two blocks, held in memory, so that the samples are read through the source.
            source.samples = std::make_shared<CancellingSource>(
                memorySamples(std::vector<double>(1500000, 1.0), std::vector<double>(1500000, 2.0)), control);
        }
        if (row.setup == directoryThere || row.setup == dataThereMetaDirectory
            || row.setup == linkThereMetaDirectory)
            std::filesystem::create_directory(dir.path(row.name));
        if (row.setup == dataThereMetaDirectory)
            dir.write("sub.sigmf-data", {1, 2, 3});
        if (row.setup == linkThereMetaDirectory)
            std::filesystem::create_symlink("elsewhere", dir.path("sub.sigmf-data"));
        if (row.setup == dataDirectory)
            std::filesystem::create_directory(dir.path("sub.sigmf-data"));
        if (row.setup == hardLinkedData)
            std::filesystem::create_hard_link(files[1], dir.path("other.sigmf-data"));
        const std::map<std::string, Bytes> before = folderContents(dir.path(""));

        const ExportRequest request{dir.path(row.name), row.first, row.end, 0.0, 1.0, row.band};
        std::string message;
        try {
            std::optional<FileSizeLimit> limit;
            if (row.setup == limitFileSize)
                limit.emplace(4096);
            exportSelection(source, request, control);
        } catch (const WorkCancelled& cancelled) {
            message = cancelled.what();
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        std::string expected = row.message;
        if (const std::size_t at = expected.find('$'); at != std::string::npos)
            expected.replace(at, 1, dir.path("").substr(0, dir.path("").size() - 1));
        EXPECT_EQ(message, expected);
        EXPECT_EQ(folderContents(dir.path("")), before);
        EXPECT_EQ(fileBytes(files[1]), data);
    }
}
