// The command line's trace and audio: the CSV and JSON line of --trace-out as
// the contract gives them, the WAV of --audio-out, and the statuses of bad usage
// and failures.

#include "tests/support/CommandRun.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/signals/SignalGenerator.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr uint32_t rate = 240000;

// An FM tone at 30 kHz, 3 kHz deviation at 1 kHz, one second.
QString writeFmTone(const QTemporaryDir& dir)
{
    const testsignals::Iq x = testsignals::fmTone(rate, rate, 30000, 1000, 3000, 0.3);
    const QString meta = dir.filePath("fm.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("fm.sigmf-data"), rate, {x.i, x.q});
    return meta;
}

} // namespace

TEST(TraceCommand, CsvAndJsonAsTheContractSays)
{
    QTemporaryDir dir;
    const QString meta = writeFmTone(dir);
    const QString csv = dir.filePath("trace.csv");
    const CommandRun run = norvale({"--trace", "fm", "--trace-out", csv, "--band", "20000:40000", "--start", "0.25",
                             "--stop", "0.75", "--squelch", "-3", meta});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(run.out.count('\n'), 1);
    EXPECT_EQ(json.keys(), (QStringList{"bandHighHz", "bandLowHz", "kind", "rateHz", "samples"}));
    EXPECT_TRUE(run.out.startsWith("{\"kind\":\"fm\",\"rateHz\":"));
    EXPECT_EQ(json["bandLowHz"].toDouble(), 20000.0);
    EXPECT_EQ(json["bandHighHz"].toDouble(), 40000.0);
    const double outputRate = json["rateHz"].toDouble();
    EXPECT_EQ(outputRate, rate / 9.0); // D = 9
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[0], "time_s,value");
    EXPECT_EQ(lines.size() - 2, json["samples"].toInt()); // header and the last newline
    double worst = 0;
    for (int k = 1; k + 1 < lines.size(); ++k) {
        const QList<QByteArray> cells = lines[k].split(',');
        ASSERT_EQ(cells.size(), 2);
        const double t = cells[0].toDouble();
        EXPECT_NEAR(std::fmod(t * rate + 0.5, 9.0), 0.5, 1e-6) << k; // on the grid of every 9th sample
        EXPECT_GE(t, 0.25);
        EXPECT_LE(t, 0.75);
        ASSERT_FALSE(cells[1].isEmpty()) << k; // a steady carrier, 3 dB over its median: never squelched
        worst = std::max(worst, std::abs(cells[1].toDouble() - 3000 * std::sin(2 * M_PI * 1000 * t)));
    }
    EXPECT_LT(worst, 30.0); // Hz, 1 % of the deviation
}

TEST(TraceCommand, AudioOutIsMono16BitAt48kHz)
{
    QTemporaryDir dir;
    const QString meta = writeFmTone(dir);
    const QString wav = dir.filePath("tone.wav");
    const CommandRun run = norvale({"--audio-out", wav, "--band", "20000:40000", meta});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 44);
    auto u16 = [&](int at) { return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
    auto u32 = [&](int at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    EXPECT_EQ(bytes.left(4), "RIFF");
    EXPECT_EQ(u16(20), 1);   // PCM
    EXPECT_EQ(u16(22), 1);   // mono
    EXPECT_EQ(u32(24), 48000u);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(u32(40), uint32_t(bytes.size() - 44));
    EXPECT_NEAR((bytes.size() - 44) / 2.0, 48000, 48);
    // The 1 kHz tone: rising zero crossings over the second.
    int rises = 0;
    for (int k = 46; k + 1 < bytes.size(); k += 2)
        rises += int16_t(u16(k - 2)) < 0 && int16_t(u16(k)) >= 0;
    EXPECT_NEAR(rises, 1000, 10);
}

TEST(TraceCommand, BadUsageAndFailures)
{
    QTemporaryDir dir;
    const QString meta = writeFmTone(dir);
    const QString csv = dir.filePath("t.csv");
    const struct
    {
        QStringList arguments;
        int exitCode;
        const char* message;
    } rows[] = {
        {{"--trace", "xm", "--trace-out", csv, meta}, 2, "--trace needs am, fm or pm"},
        {{"--trace-out", csv, meta}, 2, "--trace-out needs --trace am|fm|pm"},
        {{"--trace", "am", meta}, 2, "--trace needs --trace-out or --audio-out"},
        {{"--trace", "fm", "--trace-out", csv, "--squelch", "loud", meta}, 2, "--squelch needs a number"},
        {{"--trace", "fm", "--trace-out", dir.filePath("none/t.csv"), meta}, 1, "Cannot write"},
        {{"--trace", "fm", "--trace-out", dir.filePath("fm.sigmf-data"), meta}, 1, "the recording's own file"},
        {{"--trace", "fm", "--trace-out", csv, "--band", "0:200000", meta}, 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandRun run = norvale(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_TRUE(run.err.contains(row.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(csv));
    EXPECT_EQ(QFile(dir.filePath("fm.sigmf-data")).size(), qint64(rate) * 8);
}
