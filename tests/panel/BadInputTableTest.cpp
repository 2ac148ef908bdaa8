// Malformed, truncated, hostile and non-finite recordings, each loaded end to end
// through the panel after a good recording: a failing file gives its message and
// leaves the previous recording, views and file information whole; a strange but
// valid one is drawn in every view. Either way the status is back at "Ready" and
// the next good load works.

#include "tests/panel/PanelFixture.h"

#include "io/MemoryCheck.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTabWidget>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace recordingfiles;

namespace {

std::string u16(uint16_t v)
{
    std::string out;
    appendU16(out, v);
    return out;
}

std::string u32(uint32_t v)
{
    std::string out;
    appendU32(out, v);
    return out;
}

std::string floats(size_t count, float value)
{
    std::string out;
    for (size_t k = 0; k < count; ++k)
        appendFloat(out, value);
    return out;
}

std::string fmtChunk(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits)
{
    return "fmt " + u32(16) + u16(format) + u16(channels) + u32(rate)
           + u32(rate * channels * bits / 8) + u16(static_cast<uint16_t>(channels * bits / 8))
           + u16(bits);
}

// A RIFF/WAVE file of the given chunks (the RIFF size field is not checked by readers).
std::string riff(const std::string& chunks)
{
    return "RIFF" + u32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

const std::string eightFrames = floats(16, 0.25f);

enum class Kind { Wav, SigmfMeta, Binary, Iqw };

struct BadFile
{
    const char* name;
    Kind kind;
    std::string bytes;     // the file (for SigMF: the metadata)
    std::string dataBytes; // SigMF data file; "<dir>" makes it a directory
    const char* datatype;  // Binary only
    QString message;       // expected text ("<file>" the file loaded, "<data>" a pair's data), or a prefix when it ends with "*"
};

std::vector<BadFile> badFiles()
{
    const std::string goodMetaStart = R"({"global": {"core:sample_rate": 1000, "core:datatype": )";
    return {
        {"empty.wav", Kind::Wav, "", "", "", "\"<file>\" is empty"},
        {"one-byte.wav", Kind::Wav, "R", "", "",
         "\"<file>\" is too short to be a WAV file: it holds 1 byte, a WAV header takes 44"},
        // Cut short before its first whole sample (one cut later loads what it holds).
        {"data-past-end.wav", Kind::Wav,
         riff(fmtChunk(3, 2, 1000, 32) + "data" + u32(1000000) + eightFrames.substr(0, 6)), "", "",
         "\"<file>\" ends before its first sample: its \"data\" chunk declares 1,000,000 bytes, the file "
         "holds 6 of them"},
        {"chunk-past-end.wav", Kind::Wav,
         riff("LIST" + u32(0x7FFFFFF0) + "abcd" + fmtChunk(3, 2, 1000, 32) + "data" + u32(64)
              + eightFrames),
         "", "", "\"<file>\" is damaged: its \"LIST\" chunk at byte 12 runs past the end of the file"},
        {"chunk-wraps-offset.wav", Kind::Wav,
         riff(fmtChunk(3, 2, 1000, 32) + "junk" + u32(0xFFFFFFF8) + "data" + u32(64) + eightFrames),
         "", "", "\"<file>\" is damaged: its \"junk\" chunk at byte 36 runs past the end of the file"},
        {"fmt-claims-gigabytes.wav", Kind::Wav,
         riff("fmt " + u32(0xFFFFFFF0) + fmtChunk(3, 2, 1000, 32).substr(8) + "data" + u32(64)
              + eightFrames),
         "", "", "\"<file>\" is damaged: its \"fmt \" chunk at byte 12 runs past the end of the file"},
        {"zero-channels.wav", Kind::Wav,
         riff(fmtChunk(3, 0, 1000, 32) + "data" + u32(64) + eightFrames), "", "",
         "Cannot open \"<file>\": WAV file must have 2 channels (I and Q), this one has 0"},
        {"zero-rate.wav", Kind::Wav, riff(fmtChunk(3, 2, 0, 32) + "data" + u32(64) + eightFrames),
         "", "", "Cannot open \"<file>\": Invalid sample rate in WAV file: 0"},
        {"pcm12.wav", Kind::Wav, riff(fmtChunk(1, 2, 1000, 12) + "data" + u32(64) + eightFrames),
         "", "", "Cannot open \"<file>\": WAV file must be 8-bit unsigned, 16-, 24- or 32-bit integer PCM, or 32- or "
                 "64-bit float format, this one is 12-bit integer PCM"},
        {"big-endian.wav", Kind::Wav,
         "RIFX" + riff(fmtChunk(3, 2, 1000, 32) + "data" + u32(64) + eightFrames).substr(4), "", "",
         "Cannot open \"<file>\": WAV file is big-endian (RIFX)*"},
        {"empty-data.wav", Kind::Wav, riff(fmtChunk(3, 2, 1000, 32) + "data" + u32(0)), "", "",
         "\"<file>\" holds no samples"},

        {"empty", Kind::SigmfMeta, "", eightFrames, "",
         "The metadata file \"bad-empty.sigmf-meta\" is not valid JSON: *"},
        {"one-byte", Kind::SigmfMeta, "{", eightFrames, "",
         "The metadata file \"bad-one-byte.sigmf-meta\" is not valid JSON: *"},
        {"array", Kind::SigmfMeta, "[1, 2, 3]", eightFrames, "",
         "The metadata file \"bad-array.sigmf-meta\" gives the whole document as an array ([1,2,3]), "
         "where SigMF has an object"},
        {"string", Kind::SigmfMeta, "\"global\"", eightFrames, "",
         "The metadata file \"bad-string.sigmf-meta\" gives the whole document as a string "
         "(\"global\"), where SigMF has an object"},
        {"global-number", Kind::SigmfMeta, R"({"global": 5})", eightFrames, "",
         "The metadata file \"bad-global-number.sigmf-meta\" gives \"global\" as a number (5), where "
         "SigMF has an object"},
        {"long-datatype", Kind::SigmfMeta,
         goodMetaStart + "\"cf" + std::string(298, '3') + "_le\"}}", eightFrames, "",
         "Cannot read \"<data>\" as \"cf3333333333333333333...\": it is not a datatype such as \"ci16_le\""},
        {"long-datatype-letters", Kind::SigmfMeta,
         goodMetaStart + "\"" + std::string(300, 'c') + "\"}}", eightFrames, "",
         "Cannot read \"<data>\" as \"ccccccccccccccccccccc...\": it is not a datatype such as \"ci16_le\""},
        {"datatype-33-bits", Kind::SigmfMeta, goodMetaStart + "\"cf33_le\"}}", eightFrames, "",
         "Cannot read \"<data>\" as \"cf33_le\": values of 33 bits are not supported (only 8, 16, 32 "
         "or 64)"},
        {"rate-string", Kind::SigmfMeta,
         R"({"global": {"core:sample_rate": "1000", "core:datatype": "cf32_le"}})", eightFrames, "",
         "The metadata file \"bad-rate-string.sigmf-meta\" gives \"core:sample_rate\" as a string "
         "(\"1000\"), where SigMF has a number of samples per second"},
        {"rate-zero", Kind::SigmfMeta,
         R"({"global": {"core:sample_rate": 0, "core:datatype": "cf32_le"}})", eightFrames, "",
         "Cannot open \"<file>\": Invalid sample rate in SigMF metadata file: 0*"},
        {"data-is-directory", Kind::SigmfMeta, goodMetaStart + "\"cf32_le\"}}", "<dir>", "",
         "Cannot open \"<data>\": it is a folder"},
        {"two-channels", Kind::SigmfMeta, goodMetaStart + "\"cf32_le\", \"core:num_channels\": 2}}",
         eightFrames, "", "Cannot open \"<file>\": SigMF recordings with 2 channels are not supported: "
                          "Norvale reads one channel of I/Q"},
        {"data-empty", Kind::SigmfMeta, goodMetaStart + "\"cf32_le\"}}", "", "", "\"<data>\" is empty"},
        // Less than one whole sample (a partial sample after whole ones is left out).
        {"data-not-multiple", Kind::SigmfMeta, goodMetaStart + "\"ci16_le\"}}", "123", "",
         "\"<data>\" holds 3 bytes, less than one ci16_le sample (4 bytes)"},

        {"empty.bin", Kind::Binary, "", "", "ci16_le", "\"<file>\" is empty"},
        {"one-byte.bin", Kind::Binary, "x", "", "ci16_le",
         "\"<file>\" holds 1 byte, less than one ci16_le sample (4 bytes)"},
        {"three-bytes.bin", Kind::Binary, "123", "", "ci16_le",
         "\"<file>\" holds 3 bytes, less than one ci16_le sample (4 bytes)"},
        {"float16.bin", Kind::Binary, "1234", "", "cf16_le",
         "Cannot read \"<file>\" as \"cf16_le\": floats of 16 bits are not supported (only 32 or 64)"},
        {"empty.iqw", Kind::Iqw, "", "", "", "\"<file>\" is empty"},
        {"one-byte.iqw", Kind::Iqw, "x", "", "", "\"<file>\" holds 1 byte, less than one cf32_le sample (8 bytes)"},
        {"seven-bytes.iqw", Kind::Iqw, "1234567", "", "",
         "\"<file>\" holds 7 bytes, less than one cf32_le sample (8 bytes)"},
    };
}

bool matches(const QString& text, const QString& expected)
{
    if (expected.endsWith('*'))
        return text.startsWith(expected.chopped(1));
    return text == expected;
}

} // namespace

class BadInputTable : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        // Every view on screen, the amplitude view included.
        widget<QCheckBox>("showAmplitudeViewCheckBox")->setChecked(true);
        window->resize(1400, 1000);
        window->show();
        QApplication::processEvents();
    }

    void loadGood(const QString& base, double seconds)
    {
        const auto boxes = load(sigmf(base, 8000, seconds));
        ASSERT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
        ASSERT_TRUE(statusIsReady());
    }

    QString writeBad(const BadFile& row)
    {
        if (row.kind != Kind::SigmfMeta) {
            writeBytes(path(row.name), row.bytes);
            return path(row.name);
        }
        const QString base = path(QString("bad-") + row.name);
        writeBytes(base + ".sigmf-meta", row.bytes);
        if (row.dataBytes == "<dir>")
            QDir(dir.path()).mkdir(QString("bad-") + row.name + ".sigmf-data");
        else
            writeBytes(base + ".sigmf-data", row.dataBytes);
        return base + ".sigmf-meta";
    }

    std::vector<CapturedMessageBox> loadRow(Kind kind, const QString& file, const char* datatype)
    {
        switch (kind) {
        case Kind::Binary:
            setText("binaryFormatEdit", datatype);
            setText("sampleRateEdit", "1000");
            return load(file, 3);
        case Kind::Iqw:
            setText("sampleRateEdit", "1000");
            return load(file, 4);
        default:
            return load(file, 0);
        }
    }

    // What the user sees: the file information, the time and band fields, and the
    // picture of every view.
    struct Screen
    {
        QStringList texts;
        std::vector<QImage> pictures;
    };
    Screen screen()
    {
        QApplication::processEvents();
        Screen s;
        for (const char* name : {"fileNameLabel", "fileLengthLabel", "fileDurationLabel",
                                 "sampleRateLabel", "startTimeEdit", "stopTimeEdit",
                                 "startFrequencyEdit", "stopFrequencyEdit"})
            s.texts << text(name);
        // Each view on its own page, shown, so that it is laid out as the user sees it.
        auto* tabs = window->findChild<QTabWidget*>("tabWidget");
        for (QWidget* view : views()) {
            tabs->setCurrentIndex(view->objectName() == "spectrumView" ? 1 : 0);
            QApplication::processEvents();
            s.pictures.push_back(view->grab().toImage());
        }
        tabs->setCurrentIndex(0);
        return s;
    }

    std::vector<QWidget*> views() const
    {
        // By name: the view classes have no meta-object of their own, so a search
        // by type would match any widget.
        std::vector<QWidget*> all;
        for (const char* name : {"spectrogramView", "powerView", "amplitudeView", "spectrumView"})
            all.push_back(window->findChild<QWidget*>(name));
        for (QWidget* view : all)
            EXPECT_NE(view, nullptr);
        return all;
    }
};

TEST_F(BadInputTable, EveryBadFileIsRefusedAndLosesNothing)
{
    const std::vector<BadFile> rows = badFiles();
    loadGood("good", 2.0);
    for (const BadFile& row : rows) {
        SCOPED_TRACE(row.name);
        const Screen before = screen();
        const QString file = writeBad(row);
        const QString expected = QString(row.message)
                                     .replace("<file>", file)
                                     .replace("<data>", QString(file).replace(".sigmf-meta", ".sigmf-data"));
        const auto boxes = loadRow(row.kind, file, row.datatype);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes[0].title, "Error");
        EXPECT_EQ(boxes[0].parent, nullptr);
        EXPECT_TRUE(matches(boxes[0].text, expected))
            << "shown: " << boxes[0].text.toStdString()
            << "\nexpected: " << expected.toStdString();
        EXPECT_TRUE(statusIsReady());

        const Screen after = screen();
        EXPECT_EQ(after.texts, before.texts);
        for (size_t v = 0; v < before.pictures.size(); ++v)
            EXPECT_TRUE(after.pictures[v] == before.pictures[v]) << "view " << v << " changed";
    }
    // Whatever failed, the next good load works and shows the new file.
    loadGood("next", 1.0);
    EXPECT_EQ(text("fileNameLabel"), "next.sigmf-meta");
    EXPECT_EQ(text("fileLengthLabel"), "8000");
}

// Recordings whose every value is NaN, +infinity or the largest finite float load
// and are drawn in every view without a message.
TEST_F(BadInputTable, NonFiniteAndExtremeRecordingsAreDrawn)
{
    struct Row
    {
        const char* name;
        float value;
        bool topColourEverywhere; // the spectrogram is all at the top of its scale
    };
    const Row rows[] = {
        {"nan.iqw", std::numeric_limits<float>::quiet_NaN(), true},
        {"infinity.iqw", std::numeric_limits<float>::infinity(), true},
        {"largest.iqw", FLT_MAX, false},
        {"lowest.iqw", -FLT_MAX, false},
    };
    const QRgb topColour = qRgb(253, 231, 37);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeBytes(path(row.name), floats(2 * 4000, row.value));
        const auto boxes = loadRow(Kind::Iqw, path(row.name), "");
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text.toStdString());
        EXPECT_TRUE(statusIsReady());
        EXPECT_EQ(text("fileLengthLabel"), "4000");
        EXPECT_EQ(text("fileNameLabel"), row.name);

        const Screen shown = screen();
        for (const QImage& picture : shown.pictures)
            EXPECT_FALSE(picture.isNull());
        // The spectrogram's plot area starts at (110, 20); look at its middle.
        const QImage& spectrogram = shown.pictures[0];
        const QRgb middle = spectrogram.pixel(110 + (spectrogram.width() - 190) / 2,
                                              20 + (spectrogram.height() - 70) / 2);
        if (row.topColourEverywhere) {
            EXPECT_EQ(middle, topColour);
        }
    }
    loadGood("after", 1.0);
    EXPECT_EQ(text("fileLengthLabel"), "8000");
}

// A recording whose views would not fit in memory is
// refused before it is read, with the sizes in the message, and changes nothing.
// Samples stay in the file and the views need no memory per sample: a
// recording larger than the memory available loads.
TEST_F(BadInputTable, RecordingLargerThanTheAvailableMemoryLoads)
{
    loadGood("good", 1.0);
    writeBytes(path("big.iqw"), std::string(800000, '\0'));
    writeBytes(path("meminfo"), "MemAvailable: 1000 kB\n");
    setMeminfoPath(path("meminfo").toStdString());
    const auto boxes = loadRow(Kind::Iqw, path("big.iqw"), "");
    setMeminfoPath("");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(text("fileLengthLabel"), "100000");
    EXPECT_TRUE(statusIsReady());
}

// Work in the background: a cancelled load, or one replaced by another, leaves
// everything the user had; the progress bar and Cancel show only while work runs.
TEST_F(BadInputTable, CancelledOrReplacedWorkLosesNothing)
{
    loadGood("good", 2.0);
    const Screen before = screen();
    auto* progress = widget<QWidget>("progressBar");
    auto* cancel = widget<QAbstractButton>("cancelButton");
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(cancel->isVisible());

    // Long enough to still run when the load call returns (the views of
    // 6,000,000 samples).
    const QString big = sigmf("big", 2000000, 3.0);
    panel->loadFile(big, 0);
    ASSERT_TRUE(panel->busy());
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_EQ(text("statusLabel"), "Processing...");
    cancel->click();
    // The panel says so, and the file shown before is still named.
    EXPECT_EQ(text("statusLabel"), "Cancelled");
    EXPECT_FALSE(progress->isVisible());
    waitForPanel(panel);
    Screen after = screen();
    EXPECT_EQ(text("fileNameLabel"), "good.sigmf-meta");
    widget<QLabel>("statusLabel")->setText("Ready");
    after = screen();
    EXPECT_EQ(after.texts, before.texts);
    for (size_t v = 0; v < before.pictures.size(); ++v)
        EXPECT_TRUE(after.pictures[v] == before.pictures[v]) << "view " << v << " changed";

    // An Apply started during another: only the last one's range shows.
    setText("startTimeEdit", "0.5");
    setText("stopTimeEdit", "1");
    widget<QAbstractButton>("timeRangeApplyButton")->click();
    setText("startTimeEdit", "0.25");
    setText("stopTimeEdit", "1.5");
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    const Screen last = screen();
    setText("startTimeEdit", "0");
    setText("stopTimeEdit", "2");
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    setText("startTimeEdit", "0.25");
    setText("stopTimeEdit", "1.5");
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    after = screen();
    for (size_t v = 0; v < last.pictures.size(); ++v)
        EXPECT_TRUE(after.pictures[v] == last.pictures[v]) << "view " << v;
    EXPECT_TRUE(statusIsReady());
    EXPECT_FALSE(progress->isVisible());
}

// Samples are read from the file at every Apply: a file shortened since the load
// gives a clear error and the views keep what they showed; a removed file still
// reads from the file the load opened.
TEST_F(BadInputTable, FileChangedAfterTheLoad)
{
    loadGood("changing", 2.0);
    const Screen before = screen();
    ASSERT_TRUE(QFile::remove(path("changing.sigmf-meta")));
    ASSERT_TRUE(QFile::rename(path("changing.sigmf-data"), path("moved.sigmf-data")));
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    Screen after = screen();
    EXPECT_EQ(after.texts, before.texts);
    for (size_t v = 0; v < before.pictures.size(); ++v)
        EXPECT_TRUE(after.pictures[v] == before.pictures[v]) << "view " << v << " changed";

    ASSERT_TRUE(QFile::resize(path("moved.sigmf-data"), 8 * 1000));
    const auto boxes = click("timeRangeApplyButton");
    expectBox(boxes, QMessageBox::Critical, "Error",
              "Cannot read \"" + path("changing.sigmf-data")
                  + "\": it is shorter than when it was opened (16000 samples expected)",
              nullptr);
    EXPECT_TRUE(statusIsReady());
    after = screen();
    EXPECT_EQ(after.texts, before.texts);
    for (size_t v = 0; v < before.pictures.size(); ++v)
        EXPECT_TRUE(after.pictures[v] == before.pictures[v]) << "view " << v << " changed";
}
