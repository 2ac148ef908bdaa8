// Where a save goes and what it leaves: the question about unsaved changes
// before a load or a close, a failed save, WAV and raw recordings described by
// new metadata beside them, and an archive's recording saved as a new pair.

#include "tests/annotations/AnnotationFixture.h"
#include "tests/support/FileSizeLimit.h"

#include "io/RecordingOpener.h"

#include <QDir>

using AnnotationSaving = AnnotationFixture;

namespace {

const QString unsavedText = "The annotations of %1 have changes that are not saved.";


} // namespace

TEST_F(AnnotationSaving, UnsavedChangesAskBeforeALoadOrAClose)
{
    const struct
    {
        bool close;
        QMessageBox::StandardButton answer;
        bool saved, replaced; // the file has the new annotation; the recording or window is gone
    } rows[] = {
        {false, QMessageBox::Save, true, true},     {false, QMessageBox::Discard, false, true},
        {false, QMessageBox::Cancel, false, false}, {true, QMessageBox::Save, true, true},
        {true, QMessageBox::Discard, false, true},  {true, QMessageBox::Cancel, false, false},
    };
    const QString other = sigmf("other", 1000, 1.0);
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.close) + " " + std::to_string(row.answer));
        const QString meta = pair("asked", "[]");
        const std::string before = fileText(meta);
        ASSERT_TRUE(load(meta).empty());
        editor()->addFromView();
        const auto boxes = captureMessageBoxes(
            [&] {
                if (row.close)
                    window->close();
                else
                    panel->loadFile(other, 0);
                waitForPanel(panel);
            },
            row.answer);
        expectBox(boxes, QMessageBox::Question, "Save annotations?", unsavedText.arg("asked.sigmf-meta"),
                  window.get());
        EXPECT_EQ(fileText(meta) != before, row.saved);
        EXPECT_EQ(Json::parse(fileText(meta))["annotations"].size(), row.saved ? 1u : 0u);
        if (row.close)
            EXPECT_EQ(window->isVisible(), !row.replaced);
        else
            EXPECT_EQ(text("fileNameLabel"), row.replaced ? "other.sigmf-meta" : "asked.sigmf-meta");
        // A close that goes ahead leaves the window's changes as they were.
        EXPECT_EQ(editor()->hasUnsavedChanges(), !row.saved && (row.close || !row.replaced));
        EXPECT_EQ(tableRows().size(), row.replaced && !row.close ? 0 : 1);
        // Nothing unsaved for the next row: no question before its load.
        while (editor()->hasUnsavedChanges())
            editor()->undo();
        window->show();
    }
}

// A save that fails says so and leaves the file as it was; a close that asked
// for that save stays open.
TEST_F(AnnotationSaving, FailedSaveLeavesTheOldFile)
{
    const QString meta = pair("full", "[]");
    const std::string before = fileText(meta);
    ASSERT_TRUE(load(meta).empty());
    editor()->addFromView();
    FileSizeLimit limit(16);
    const QString failure = "The annotations were not saved: Cannot write " + meta + ": File too large";
    expectBox(click("saveAnnotationsButton"), QMessageBox::Critical, "Error", failure, nullptr);
    const auto boxes = captureMessageBoxes([&] { window->close(); }, QMessageBox::Save);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, failure);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(editor()->hasUnsavedChanges());
    EXPECT_EQ(fileText(meta), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

// Recordings that are not SigMF get new metadata beside them that names them
// as its dataset; it opens the very same samples, and later saves rewrite it.
TEST_F(AnnotationSaving, WavAndRawSavedAsSigmfBesideThem)
{
    const recordingfiles::Samples samples = recordingfiles::tone(1000, 2.0, 30.0);
    recordingfiles::writeWav(path("rec.wav"), 1000, samples);
    std::string raw;
    for (std::size_t k = 0; k < samples.i.size(); ++k) {
        recordingfiles::appendU16(raw, static_cast<uint16_t>(static_cast<int16_t>(samples.i[k] * 30000)));
        recordingfiles::appendU16(raw, static_cast<uint16_t>(static_cast<int16_t>(samples.q[k] * 30000)));
    }
    recordingfiles::writeBytes(path("rec.raw"), raw + "x");
    const struct
    {
        QString file;
        FileFormatChoice format;
        std::string datatype;
        uint64_t header, trailing;
    } rows[] = {{"rec.wav", 0, "cf32_le", 44, 0}, {"rec.raw", 3, "ci16_le", 0, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        setText("binaryFormatEdit", "ci16_le");
        setText("sampleRateEdit", "1000");
        ASSERT_TRUE(load(path(row.file), row.format).empty());
        const std::vector<double> i = window->recording().iSamples();
        EXPECT_TRUE(key(Qt::Key_A).empty());
        EXPECT_TRUE(key(Qt::Key_S, Qt::ControlModifier).empty());
        const QString meta = path("rec.sigmf-meta");
        const Json written = Json::parse(fileText(meta));
        EXPECT_EQ(written["global"]["core:dataset"], row.file.toStdString());
        EXPECT_EQ(written["global"]["core:datatype"], row.datatype);
        EXPECT_EQ(written["global"].value("core:trailing_bytes", uint64_t(0)), row.trailing);
        EXPECT_EQ(written["captures"][0].value("core:header_bytes", uint64_t(0)), row.header);
        EXPECT_EQ(written["annotations"].size(), 1u);
        // A second change goes to the same file.
        EXPECT_TRUE(edit(0, AnnotationTableModel::labelColumn, "again").empty());
        EXPECT_TRUE(key(Qt::Key_S, Qt::ControlModifier).empty());
        EXPECT_EQ(Json::parse(fileText(meta))["annotations"][0]["core:label"], "again");
        ASSERT_TRUE(load(meta).empty());
        EXPECT_EQ(window->recording().iSamples(), i);
        EXPECT_EQ(tableRows().size(), 1);
        std::filesystem::remove(meta.toStdString());
    }
}

// An archive is never rewritten: its recording goes to a new pair, which later saves rewrite.
TEST_F(AnnotationSaving, ArchiveSavedAsANewPair)
{
    const std::string meta = R"({"global": {"core:datatype": "ri8", "core:sample_rate": 1000},
        "captures": [{"core:sample_start": 0}], "annotations": []})";
    const Bytes archive = tarArchive({{"r/r.sigmf-meta", Bytes(meta.begin(), meta.end())},
                                      {"r/r.sigmf-data", Bytes(4000, 7)}});
    recordingfiles::writeBytes(path("r.sigmf"), std::string(archive.begin(), archive.end()));
    const std::string archiveBytes = fileText(path("r.sigmf"));
    QStringList suggested;
    editor()->setDestinationChooser([&](const QString& suggestion) {
        suggested << suggestion;
        return suggested.size() == 1 ? QString() : path("copy.sigmf-meta");
    });
    ASSERT_TRUE(load(path("r.sigmf")).empty());
    editor()->addFromView();
    // The first choice is cancelled: nothing written, still unsaved.
    EXPECT_TRUE(click("saveAnnotationsButton").empty());
    EXPECT_TRUE(editor()->hasUnsavedChanges());
    EXPECT_TRUE(click("saveAnnotationsButton").empty());
    EXPECT_EQ(suggested, QStringList({path("r.sigmf-meta"), path("r.sigmf-meta")}));
    EXPECT_FALSE(editor()->hasUnsavedChanges());
    EXPECT_TRUE(edit(0, AnnotationTableModel::commentColumn, "kept").empty());
    EXPECT_TRUE(click("saveAnnotationsButton").empty());
    EXPECT_EQ(suggested.size(), 2);
    EXPECT_EQ(fileText(path("r.sigmf")), archiveBytes);
    EXPECT_EQ(fileText(path("copy.sigmf-data")), std::string(4000, 7));
    ASSERT_TRUE(load(path("copy.sigmf-meta")).empty());
    EXPECT_EQ(tableRows(), QStringList({"0|4|-500|500||kept"}));
}
