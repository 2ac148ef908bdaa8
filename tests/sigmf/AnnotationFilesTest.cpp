// Saves that write files: a metadata file rewritten in place (a failed write
// leaves it whole, a link stays a link, the permissions stay), and an archive's
// recording copied to a new pair or archive while the archive itself stays as it
// was; each save's folder synced once the files have their names.

#include "io/Recording.h"
#include "io/RecordingOpener.h"
#include "io/SigmfFile.h"
#include "sigmf/AnnotationFields.h"
#include "sigmf/AnnotationFiles.h"
#include "tests/io/IoTestFiles.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/SyncHook.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include <sys/stat.h>

namespace {

const std::string pairMetadata =
    R"({"global": {"core:datatype": "ri8", "core:sample_rate": 10},
        "captures": [{"core:sample_start": 0}], "annotations": []})";

std::size_t filesIn(const std::string& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

RecordingAnnotation tag(const RecordingInfo& info)
{
    return createdAnnotation({1, 2, std::nullopt, std::nullopt, "tag", "note"}, info, "u");
}

// Sets the process's umask while it lives.
class Umask
{
public:
    explicit Umask(mode_t mask) : saved(::umask(mask)) {}
    ~Umask() { ::umask(saved); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t saved;
};

// Permission bits in octal, as chmod takes them.
std::string octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof(text), "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string permissionsOf(const std::string& path)
{
    struct stat status{};
    ::stat(path.c_str(), &status);
    return octal(status.st_mode);
}

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(AnnotationFiles, RewriteInPlace)
{
    enum Setup { plain, fullDisk, linked, removed, notJson, nested512, nestedDeep };
    const struct
    {
        const char* name;
        Setup setup;
        std::string message; // "$" for the folder
    } rows[] = {
        {"rewritten", plain, ""},
        {"full disk", fullDisk, "Cannot write $/rec.sigmf-meta: File too large"},
        {"through a link", linked, ""},
        // A file gone since it was opened is written again from what was read.
        {"gone", removed, ""},
        {"no longer metadata", notJson, "Cannot rewrite $/rec.sigmf-meta: it is no longer valid SigMF metadata"},
        {"nested 512 levels now", nested512, ""},
        {"nested too deep now", nestedDeep, "The metadata file \"rec.sigmf-meta\" nests deeper than 512 levels"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string data = dir.write("rec.sigmf-data", {1, 2, 3, 4, 5, 6});
        std::string meta = dir.writeText("rec.sigmf-meta", pairMetadata);
        Recording recording;
        recording.take(readSigmfFile(meta));
        std::string target = meta;
        if (row.setup == linked) {
            std::filesystem::create_directory(dir.path("real"));
            std::filesystem::rename(meta, dir.path("real/rec.sigmf-meta"));
            std::filesystem::create_symlink("real/rec.sigmf-meta", meta);
            target = dir.path("real/rec.sigmf-meta");
        }
        if (row.setup == removed)
            std::filesystem::remove(meta);
        if (row.setup == notJson)
            dir.writeText("rec.sigmf-meta", "{ broken");
        if (row.setup == nested512)
            dir.writeText("rec.sigmf-meta", R"({"global": {"core:datatype": "ri8", "core:sample_rate": 10, "x:deep": )"
                                                + std::string(510, '[') + std::string(510, ']') + "}}");
        if (row.setup == nestedDeep)
            dir.writeText("rec.sigmf-meta", "{\"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}");
        const std::string before = std::filesystem::exists(target) ? fileText(target) : "";
        const std::size_t files = filesIn(dir.path(""));
        std::string message;
        {
            std::optional<FileSizeLimit> limit;
            if (row.setup == fullDisk)
                limit.emplace(8);
            message = thrownMessage([&] {
                rewriteMetadataFile(meta, recording.info().sigmf->metadata, {tag(recording.info())}, {});
            });
        }
        if (!row.message.empty()) {
            std::string expected = row.message;
            if (const std::size_t at = expected.find('$'); at != std::string::npos)
                expected.replace(at, 1, dir.path("").substr(0, dir.path("").size() - 1));
            EXPECT_EQ(message, expected);
            EXPECT_EQ(fileText(target), before);
            EXPECT_EQ(filesIn(dir.path("")), files);
            continue;
        }
        EXPECT_EQ(message, "<no exception>");
        EXPECT_EQ(std::filesystem::is_symlink(meta), row.setup == linked);
        Recording reopened;
        reopened.take(readSigmfFile(meta));
        ASSERT_EQ(reopened.info().annotations.size(), 1u);
        EXPECT_EQ(reopened.info().annotations[0].comment, "note");
        EXPECT_EQ(reopened.iSamples(), recording.iSamples());
        EXPECT_EQ(fileText(data), std::string("\1\2\3\4\5\6"));
    }
}

TEST(AnnotationFiles, ArchiveCopiedAsPairOrArchive)
{
    TempDir dir;
    const std::string meta = R"({"global": {"core:datatype": "ri8", "core:sample_rate": 10,
        "core:dataset": "elsewhere.bin", "x:kept": [1]}, "captures": [{"core:sample_start": 0,
        "core:header_bytes": 2}], "annotations": [{"core:sample_start": 0}]})";
    const Bytes data = {9, 9, 1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes other = {1, 1};
    const std::string archive = dir.write(
        "rec.sigmf", tarArchive({{"a/a.sigmf-meta", Bytes(meta.begin(), meta.end())},
                                 {"a/a.sigmf-data", data},
                                 {"b/b.sigmf-meta", Bytes(pairMetadata.begin(), pairMetadata.end())},
                                 {"b/b.sigmf-data", other}}));
    const std::string archiveBytes = fileText(archive);
    Recording source;
    source.take(readSigmfArchive(archive, 0));
    ASSERT_EQ(source.iSamples(), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));

    for (const std::string name : {"copy.sigmf-meta", "copy.sigmf", "COPY2.SIGMF-META"}) {
        SCOPED_TRACE(name);
        const std::string destination = dir.path(name);
        writeSigmfCopy(destination, *source.info().sigmf, {tag(source.info())});
        Recording copy;
        copy.take(readSigmfFile(destination));
        EXPECT_EQ(copy.iSamples(), source.iSamples());
        ASSERT_EQ(copy.info().annotations.size(), 1u);
        EXPECT_EQ(copy.info().annotations[0].label, "tag");
        // The entry without a count is kept as it was; the dataset is the copy's own.
        EXPECT_EQ(copy.info().sigmf->unreadAnnotations, (std::vector<std::string>{R"({"core:sample_start":0})"}));
        EXPECT_EQ(copy.info().sigmfGlobal, R"({"core:datatype":"ri8","core:sample_rate":10,"x:kept":[1]})");
    }
    EXPECT_EQ(fileText(dir.path("copy.sigmf-data")), std::string(data.begin(), data.end()));
    EXPECT_EQ(thrownMessage([&] { writeSigmfCopy(archive, *source.info().sigmf, {}); }),
              "Cannot save to " + archive + ": it is the open recording's own file");
    EXPECT_EQ(thrownMessage([&] { writeSigmfCopy(dir.path("copy.wav"), *source.info().sigmf, {}); }),
              "Cannot save to " + dir.path("copy.wav") + ": the name must end in .sigmf-meta or .sigmf");
    EXPECT_EQ(fileText(archive), archiveBytes);
}

TEST(AnnotationFiles, RewriteKeepsThePermissions)
{
    // Under a umask that would make any new file 0644.
    const Umask mask(022);
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664), mode_t(0444), mode_t(0604)}) {
        for (const bool linked : {false, true}) {
            SCOPED_TRACE(octal(mode) + (linked ? " through a link" : ""));
            TempDir dir;
            dir.write("rec.sigmf-data", {1, 2, 3, 4});
            const std::string meta = dir.writeText("rec.sigmf-meta", pairMetadata);
            std::string target = meta;
            if (linked) {
                target = dir.path("real.sigmf-meta");
                std::filesystem::rename(meta, target);
                std::filesystem::create_symlink("real.sigmf-meta", meta);
            }
            ::chmod(target.c_str(), mode);
            Recording recording;
            recording.take(readSigmfFile(meta));
            rewriteMetadataFile(meta, recording.info().sigmf->metadata, {tag(recording.info())}, {});
            EXPECT_EQ(permissionsOf(target), octal(mode));
            EXPECT_EQ(std::filesystem::is_symlink(meta), linked);
            Recording reopened;
            reopened.take(readSigmfFile(meta));
            EXPECT_EQ(reopened.info().annotations.size(), 1u);
        }
    }
}

// Each save syncs the folder once its files have their names (a pair's data
// before its metadata is renamed), so that a crash right after it cannot take
// the renames back.
TEST(AnnotationFiles, FolderSyncedAfterEachRename)
{
    enum Save { rewrite, besideRecording, pairCopy, archiveCopy };
    const std::set<std::string> before = {"rec.sigmf-meta", "rec.sigmf-data", "rec.sigmf", "raw.cu8"};
    const auto with = [&before](std::set<std::string> names) {
        names.insert(before.begin(), before.end());
        return names;
    };
    const struct
    {
        const char* name;
        Save save;
        std::vector<std::set<std::string>> syncs; // the folder's names at each of its syncs
    } rows[] = {
        {"metadata rewritten", rewrite, {before}},
        {"metadata beside a recording", besideRecording, {with({"raw.sigmf-meta"})}},
        {"pair copied", pairCopy,
         {with({"copy.sigmf-data", "(temporary)"}), with({"copy.sigmf-data", "copy.sigmf-meta"})}},
        {"archive copied", archiveCopy, {with({"copy.sigmf"})}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        dir.write("rec.sigmf-data", {1, 2, 3, 4});
        const std::string meta = dir.writeText("rec.sigmf-meta", pairMetadata);
        const std::string archive = dir.write(
            "rec.sigmf", tarArchive({{"a/a.sigmf-meta", Bytes(pairMetadata.begin(), pairMetadata.end())},
                                     {"a/a.sigmf-data", {5, 6}}}));
        const std::string raw = dir.write("raw.cu8", {1, 2, 3, 4});
        Recording pair;
        pair.take(readSigmfFile(meta));
        Recording archived;
        archived.take(readSigmfArchive(archive));
        Recording rawRecording;
        rawRecording.take(openRecording(raw, FileFormat::Auto, "", 1000));
        struct stat folder{};
        ::stat(dir.path("").c_str(), &folder);
        std::vector<std::set<std::string>> syncs;
        {
            const SyncHook hook([&](int descriptor) {
                struct stat synced{};
                if (::fstat(descriptor, &synced) != 0 || synced.st_ino != folder.st_ino
                    || synced.st_dev != folder.st_dev)
                    return;
                std::set<std::string> names;
                for (const std::string& name : namesIn(dir.path("")))
                    names.insert(name.rfind('.', 0) == 0 ? "(temporary)" : name);
                syncs.push_back(names);
            });
            switch (row.save) {
            case rewrite:
                rewriteMetadataFile(meta, pair.info().sigmf->metadata, {tag(pair.info())}, {});
                break;
            case besideRecording:
                writeDatasetMetadata(datasetMetadataPath(raw),
                                     datasetFactsOf(raw, *rawRecording.samples(), 1000, rawRecording.info()),
                                     {});
                break;
            case pairCopy:
                writeSigmfCopy(dir.path("copy.sigmf-meta"), *archived.info().sigmf, {});
                break;
            case archiveCopy:
                writeSigmfCopy(dir.path("copy.sigmf"), *archived.info().sigmf, {});
                break;
            }
        }
        EXPECT_EQ(syncs, row.syncs);
    }
}
