// The command line's --estimate: one JSON object with the contract's members in
// its order, the rate and tones of a known burst relative to the band's centre,
// nulls for noise, and the statuses of bad usage and failures.

#include "tests/support/CommandRun.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/signals/ModulatedSignal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t rate = 1000000;

// A 2FSK burst at 100 kHz (deviation 10 kHz, 20 kbaud) between stretches of
// noise; without the burst, noise alone.
QString writeRecording(const QTemporaryDir& dir, bool burst)
{
    testsignals::Keyed shape;
    shape.keying = testsignals::Keying::Fsk2;
    shape.rate = rate;
    shape.symbolRate = 20000;
    shape.deviation = 10000;
    shape.offset = 100000;
    shape.symbols = 1000;
    shape.esN0Db = 25;
    shape.lead = shape.tail = 100000;
    shape.amplitude = burst ? 0.5 : 0.0;
    testsignals::KeyedSignal s = testsignals::keyed(shape);
    if (!burst)
        s.iq = testsignals::noise(s.iq.size(), 1e-3, 5);
    const QString meta = dir.filePath(burst ? "fsk.sigmf-meta" : "noise.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath(burst ? "fsk.sigmf-data" : "noise.sigmf-data"), rate,
                               {s.iq.i, s.iq.q});
    return meta;
}

} // namespace

TEST(EstimateCommand, JsonAsTheContractSays)
{
    QTemporaryDir dir;
    const QString meta = writeRecording(dir, true);
    const CommandRun run = norvale({"--estimate", "--band", "50000:150000", "--start", "0.05", "--stop", "0.2", meta});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // The members in the contract's order.
    const QStringList order = {"symbolRateHz", "symbolRateConfidenceDb", "modulation", "frequencyOffsetHz",
                               "fskDeviationHz", "fskTonesHz", "samplesPerSymbol"};
    QStringList keys;
    const QRegularExpression key("\"(\\w+)\":");
    for (auto match = key.globalMatch(QString::fromUtf8(run.out)); match.hasNext();)
        keys << match.next().captured(1);
    EXPECT_EQ(keys, order) << run.out.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(json["modulation"].toString(), "2FSK");
    EXPECT_NEAR(json["symbolRateHz"].toDouble(), 20000, 20);
    EXPECT_GT(json["symbolRateConfidenceDb"].toDouble(), 15);
    EXPECT_NEAR(json["samplesPerSymbol"].toDouble(), 50, 0.05);
    // The band's centre is 100 kHz: the burst sits at 0 Hz from it.
    EXPECT_NEAR(json["frequencyOffsetHz"].toDouble(), 0, 100);
    EXPECT_NEAR(json["fskDeviationHz"].toDouble(), 10000, 100);
    const QJsonArray tones = json["fskTonesHz"].toArray();
    ASSERT_EQ(tones.size(), 2);
    EXPECT_NEAR(tones[0].toDouble(), -10000, 200);
    EXPECT_NEAR(tones[1].toDouble(), 10000, 200);
}

TEST(EstimateCommand, NoiseGivesNulls)
{
    QTemporaryDir dir;
    const QString meta = writeRecording(dir, false);
    const CommandRun run = norvale({"--estimate", "--band", "-200000:200000", meta});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(json["modulation"].toString(), "noise");
    for (const char* member : {"symbolRateHz", "symbolRateConfidenceDb", "frequencyOffsetHz", "fskDeviationHz",
                               "fskTonesHz", "samplesPerSymbol"})
        EXPECT_TRUE(json[member].isNull()) << member;
}

TEST(EstimateCommand, BadUsageAndFailures)
{
    QTemporaryDir dir;
    const QString meta = writeRecording(dir, true);
    const struct
    {
        QStringList arguments;
        int exitCode;
        const char* message;
    } rows[] = {
        {{"--estimate"}, 2, "A recording is needed"},
        {{"--estimate", "--band", "5000", meta}, 2, "--band needs LO:HI"},
        {{"--estimate", dir.filePath("missing.sigmf-meta")}, 1, ""},
        {{"--estimate", "--band", "0:900000", meta}, 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandRun run = norvale(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_TRUE(run.err.contains(row.message)) << run.err.toStdString();
        EXPECT_FALSE(run.err.isEmpty());
        EXPECT_TRUE(run.out.isEmpty());
    }
}
