// What the panel does with archives and with what a file says about itself
// (centre frequency, start time, a note), and files dropped on the window.

#include "tests/io/IoTestFiles.h"
#include "tests/panel/PanelFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <filesystem>

using namespace recordingfiles;
using PanelFileInfo = PanelFixture;

namespace {

Bytes cf32Bytes(const Samples& s)
{
    std::string bytes;
    for (std::size_t k = 0; k < s.i.size(); ++k) {
        appendFloat(bytes, s.i[k]);
        appendFloat(bytes, s.q[k]);
    }
    return Bytes(bytes.begin(), bytes.end());
}

Bytes textBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::string sigmfMeta(const std::string& captures)
{
    return R"({"global": {"core:sample_rate": 1000, "core:datatype": "cf32_le"}, "captures": )"
           + captures + "}";
}

// Stereo 32-bit float WAV at 1000 samples/s with an "auxi" chunk before the data.
std::string wavWithAuxi(const Samples& s, uint32_t centreHz)
{
    std::string auxi;
    for (uint16_t field : {2023, 11, 4, 30, 23, 59, 58, 0})
        appendU16(auxi, field);
    auxi.resize(32, '\0');
    appendU32(auxi, centreHz);
    auxi.resize(64, '\0');
    std::string body = "WAVEfmt ";
    appendU32(body, 16);
    for (uint16_t field : {3, 2})
        appendU16(body, field);
    appendU32(body, 1000);
    appendU32(body, 8000);
    appendU16(body, 8);
    appendU16(body, 32);
    body += "auxi";
    appendU32(body, static_cast<uint32_t>(auxi.size()));
    body += auxi + "data";
    appendU32(body, static_cast<uint32_t>(s.i.size() * 8));
    const Bytes data = cf32Bytes(s);
    body.append(data.begin(), data.end());
    std::string file = "RIFF";
    appendU32(file, static_cast<uint32_t>(body.size()));
    return file + body;
}

} // namespace

TEST_F(PanelFileInfo, ArchivesAndWhatTheFileSaysAboutItself)
{
    const Samples samples = tone(1000, 1.0, 100.0);
    const Bytes data = cf32Bytes(samples);
    const Bytes meta = textBytes(sigmfMeta(R"([{"core:frequency": 915000000.5}])"));
    const Bytes metaB = textBytes(sigmfMeta(R"([{"core:frequency": 433000000}, {"core:sample_start": 500}])"));
    const Bytes twoRecordings = tarArchive(
        {{"a.sigmf-meta", meta}, {"a.sigmf-data", data}, {"b.sigmf-meta", metaB}, {"b.sigmf-data", data}});
    writeBytes(path("two.sigmf"), std::string(twoRecordings.begin(), twoRecordings.end()));
    writeBytes(path("TWO.SIGMF"), std::string(twoRecordings.begin(), twoRecordings.end()));
    writeBytes(path("upper.SIGMF-META"), sigmfMeta(R"([{"core:frequency": 1e6}])"));
    writeCf32(path("upper.sigmf-data"), samples);
    writeBytes(path("auxi.wav"), wavWithAuxi(samples, 145500000));
    const QString plain = sigmf("plain", 1000, 1.0);
    const QString note = "The archive holds 2 recordings; this is \"a\" (1 of 2)";
    const QString noteB = "The archive holds 2 recordings; this is \"b\" (2 of 2)";

    // An archive of several recordings asks which one to open (pick; -1 for no question).
    const struct
    {
        QString file;
        FileFormatChoice format;
        int pick;
        QString centre, start, captures, note;
    } rows[] = {
        {"two.sigmf", 0, 0, "915000000.5", "", "1 capture", note},
        {"TWO.SIGMF", 0, 1, "433000000", "", "2 captures", noteB},
        {"two.sigmf", 1, 1, "433000000", "", "2 captures", noteB},
        {"upper.SIGMF-META", 0, -1, "1000000", "", "1 capture", ""},
        {"auxi.wav", 0, -1, "145500000", "2023-11-30 23:59:58", "", ""},
        {"plain.sigmf-meta", 0, -1, "", "", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        setText("startTimeEdit", "");
        setText("stopTimeEdit", "");
        QStringList offered;
        panel->setRecordingChooser([&](const QStringList& names) {
            offered = names;
            return std::optional<int>(row.pick);
        });
        const auto boxes = load(path(row.file), row.format);
        EXPECT_EQ(offered, row.pick < 0 ? QStringList() : QStringList({"a", "b"}));
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text.toStdString());
        EXPECT_EQ(text("fileNameLabel"), row.file);
        EXPECT_EQ(text("fileLengthLabel"), "1000");
        const std::pair<const char*, QString> labels[] = {
            {"centreFrequencyLabel", row.centre}, {"startTimeLabel", row.start},
            {"captureCountLabel", row.captures}, {"fileNoteLabel", row.note}};
        for (const auto& [name, expected] : labels) {
            auto* label = widget<QLabel>(name);
            EXPECT_EQ(label->text(), expected) << name;
            EXPECT_EQ(label->isHidden(), expected.isEmpty()) << name;
        }
        EXPECT_EQ(widget<QLabel>("centreFrequencyLabelCaption")->isHidden(), row.centre.isEmpty());
    }
    // A cancelled choice loads nothing.
    panel->setRecordingChooser([](const QStringList&) { return std::optional<int>(); });
    EXPECT_TRUE(load(path("two.sigmf")).empty());
    EXPECT_EQ(text("fileNameLabel"), "plain.sigmf-meta");
    // A refused archive changes none of it.
    writeBytes(path("broken.sigmf"), std::string(twoRecordings.begin(), twoRecordings.begin() + 700));
    ASSERT_EQ(load(path("broken.sigmf")).size(), 1u);
    EXPECT_EQ(text("fileNameLabel"), "plain.sigmf-meta");
    EXPECT_TRUE(widget<QLabel>("fileNoteLabel")->isHidden());
}

TEST_F(PanelFileInfo, DroppedFileOpensWithTheAutoRules)
{
    writeWav(path("dropped.wav"), 1000, tone(1000, 2.0, 50.0));
    writeCf32(path("dropped.bin"), tone(1000, 2.0, 50.0));
    // The format box says "Binary": a drop goes by the ending all the same.
    widget<QComboBox>("formatComboBox")->setCurrentIndex(3);

    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        bool accepted = enter.isAccepted();
        std::vector<CapturedMessageBox> boxes;
        if (accepted) {
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            boxes = captureMessageBoxes([&] {
                QApplication::sendEvent(window.get(), &event);
                QApplication::processEvents();
                waitForPanel(panel);
            });
        }
        return std::make_pair(accepted, boxes);
    };

    EXPECT_FALSE(drop({QUrl("https://example.invalid/x.wav")}).first);
    EXPECT_EQ(text("fileNameLabel"), "No file loaded");

    const auto [accepted, boxes] = drop({QUrl::fromLocalFile(path("dropped.wav"))});
    EXPECT_TRUE(accepted);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(text("fileNameLabel"), "dropped.wav");
    EXPECT_EQ(text("fileDurationLabel"), "2");

    const auto refused = drop({QUrl::fromLocalFile(path("dropped.bin"))});
    EXPECT_TRUE(refused.first);
    expectBox(refused.second, QMessageBox::Critical, "Error",
              "Cannot tell the format of \"" + path("dropped.bin")
                  + "\" from its name: give --format or choose a \"File format\"",
              nullptr);
    EXPECT_EQ(text("fileNameLabel"), "dropped.wav");
    EXPECT_TRUE(statusIsReady());

    // A name that is not UTF-8 comes percent-encoded and opens as the system spells it.
    const std::string latin = dir.path().toStdString() + "/latin\xe9.wav";
    std::filesystem::copy_file(path("dropped.wav").toStdString(), latin);
    const auto dropped = drop({QUrl::fromEncoded(QUrl::fromLocalFile(dir.path()).toEncoded() + "/latin%E9.wav")});
    EXPECT_TRUE(dropped.second.empty()) << (dropped.second.empty() ? "" : dropped.second[0].text.toStdString());
    EXPECT_EQ(text("fileNameLabel"), QString::fromUtf8("latin\xef\xbf\xbd.wav"));
    std::filesystem::remove(latin);
}
