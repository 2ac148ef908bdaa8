// The command line's burst detection: the JSON object of --detect as the
// contract gives it, the annotations --save-annotations writes, and the
// statuses of bad usage and refusals.

#include "tests/support/CommandRun.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/signals/BurstRecording.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr uint32_t rate = 1000000;

const std::vector<testsignals::BurstPlan> plans{
    {100000, 20000, 100000, 150000, 15.0},
    {300000, 4096, -300000, -100000, 10.0},
    {600000, 60000, -20000, -10000, 20.0},
};

recordingfiles::Samples burstSamples()
{
    const testsignals::Iq x = testsignals::burstRecording(800000, rate, 1.0, plans, 3);
    return {x.i, x.q};
}

QJsonObject metadataOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

TEST(DetectCommand, JsonAsTheContractSays)
{
    QTemporaryDir dir;
    const QString meta = dir.filePath("b.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("b.sigmf-data"), rate, burstSamples());
    const CommandRun run = norvale({"--detect", meta});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    // Members in the contract's order.
    EXPECT_TRUE(run.out.startsWith("{\"noiseFloorDbHz\":")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("{\"sampleStart\":")) << run.out.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    // Unit noise power at 1 MS/s: -60 dB/Hz.
    EXPECT_NEAR(json["noiseFloorDbHz"].toDouble(), -60.0, 0.2);
    const QJsonArray bursts = json["bursts"].toArray();
    ASSERT_EQ(bursts.size(), qsizetype(plans.size())) << run.out.toStdString();
    for (qsizetype k = 0; k < bursts.size(); ++k) {
        const QJsonObject b = bursts[k].toObject();
        const testsignals::BurstPlan& p = plans[static_cast<size_t>(k)];
        const QStringList members{"sampleStart", "sampleCount", "startS", "stopS", "lowHz", "highHz", "snrDb"};
        EXPECT_EQ(b.keys().size(), members.size());
        const double start = b["sampleStart"].toDouble(), count = b["sampleCount"].toDouble();
        EXPECT_NEAR(start, double(p.start), 0.01 * p.length + rate / (p.high - p.low)) << k;
        EXPECT_NEAR(count, double(p.length), 0.02 * p.length + 2 * rate / (p.high - p.low)) << k;
        EXPECT_DOUBLE_EQ(b["startS"].toDouble(), start / rate);
        EXPECT_DOUBLE_EQ(b["stopS"].toDouble(), (start + count) / rate);
        EXPECT_NEAR(b["lowHz"].toDouble(), p.low, std::max(0.1 * (p.high - p.low), rate / 256.0)) << k;
        EXPECT_NEAR(b["highHz"].toDouble(), p.high, std::max(0.1 * (p.high - p.low), rate / 256.0)) << k;
        EXPECT_NEAR(b["snrDb"].toDouble(), p.snrDb, 1.5) << k;
    }
    // --band and --start keep only what lies inside them.
    const CommandRun inner = norvale({"--detect", "--band", "0:200000", "--start", "0.05", meta});
    ASSERT_EQ(inner.exitCode, 0) << inner.err.toStdString();
    const QJsonArray kept = QJsonDocument::fromJson(inner.out).object()["bursts"].toArray();
    ASSERT_EQ(kept.size(), 1) << inner.out.toStdString();
    EXPECT_NEAR(kept[0].toObject()["sampleStart"].toDouble(), 100000, 300);
}

TEST(DetectCommand, SavedAnnotationsAreLabelledBurstsInOurNamespace)
{
    QTemporaryDir dir;
    // A pair is rewritten in place; a raw file gets metadata beside it.
    const QString meta = dir.filePath("b.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("b.sigmf-data"), rate, burstSamples());
    const QString raw = dir.filePath("r.fc32");
    recordingfiles::writeCf32(raw, burstSamples());
    for (const auto& [arguments, written] :
         {std::pair{QStringList{"--detect", "--save-annotations", meta}, meta},
          std::pair{QStringList{"--detect", "--save-annotations", "--rate", "1000000", raw}, dir.filePath("r.sigmf-meta")}}) {
        const CommandRun run = norvale(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QJsonObject document = metadataOf(written);
        const QJsonArray annotations = document["annotations"].toArray();
        ASSERT_EQ(annotations.size(), qsizetype(plans.size())) << written.toStdString();
        for (const QJsonValue& value : annotations) {
            const QJsonObject a = value.toObject();
            EXPECT_EQ(a["core:label"].toString(), "burst");
            EXPECT_TRUE(a["core:generator"].toString().startsWith("Norvale "));
            EXPECT_EQ(a["core:uuid"].toString().size(), 36);
            EXPECT_GT(a["norvale:snr_db"].toDouble(), 5.0);
            EXPECT_TRUE(a.contains("core:freq_lower_edge") && a.contains("core:freq_upper_edge"));
        }
        bool declared = false;
        for (const QJsonValue& e : document["global"].toObject()["core:extensions"].toArray())
            declared = declared || e.toObject()["name"].toString() == "norvale";
        EXPECT_TRUE(declared);
    }
}

TEST(DetectCommand, BadUsageAndRefusals)
{
    QTemporaryDir dir;
    const QString meta = dir.filePath("b.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("b.sigmf-data"), rate, burstSamples());
    struct Row
    {
        QStringList arguments;
        int status;
        const char* message;
    };
    const Row rows[] = {
        {{"--threshold", "6", meta}, 2, "--threshold needs --detect"},
        {{"--save-annotations", meta}, 2, "--save-annotations needs --detect"},
        {{"--detect", "--threshold", "loud", meta}, 2, "--threshold needs a number of decibels"},
        {{"--detect", "--min-duration", "", meta}, 2, "--min-duration needs a number of seconds"},
        {{"--detect", "--threshold", "-1", meta}, 1, "Invalid threshold"},
        {{"--detect", "--threshold", "inf", meta}, 1, "Invalid threshold"},
        {{"--detect", "--min-duration", "0", meta}, 1, "Invalid minimum duration"},
        {{"--detect", "--start", "0.1", "--stop", "0.1001", meta}, 1, "at least 256 samples"},
        {{"--detect", dir.filePath("missing.sigmf-meta")}, 1, "Cannot open"},
    };
    for (const Row& row : rows) {
        const CommandRun run = norvale(row.arguments);
        EXPECT_EQ(run.exitCode, row.status) << row.arguments.join(' ').toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(row.message)) << row.arguments.join(' ').toStdString() << ": "
                                                    << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
}
