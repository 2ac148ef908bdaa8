// The command line: help, version, bad usage, and the runs without a window
// (pictures, file information, export) with their messages and exit statuses.

#include "tests/panel/RecordingFiles.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct ProcessRun
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program without a display unless told otherwise.
ProcessRun runNorvale(const QStringList& arguments, int waitMs, bool display = false)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    if (display)
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    else
        environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    process.start(NORVALE_EXECUTABLE, arguments);
    ProcessRun run;
    if (!process.waitForStarted(10000))
        return run;
    run.finished = process.waitForFinished(waitMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(10000);
    } else {
        run.exitCode = process.exitCode();
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

TEST(Startup, HelpVersionAndBadUsageNeedNoDisplay)
{
    struct Row
    {
        QStringList arguments;
        int status;
        const char* stdoutStart; // empty: nothing expected on standard output
        const char* stderrHas;
    } rows[] = {
        {{"-h"}, 0, "Usage: norvale [options] [recording]", ""},
        {{"--help"}, 0, "Usage: norvale [options] [recording]", ""},
        {{"--help", "recording.wav"}, 0, "Usage: norvale", ""},
        {{"--version"}, 0, "norvale 0.1.5", ""},
        {{"-H"}, 2, "", "Unknown option 'H'"},
        {{"--HELP"}, 2, "", "Unknown option 'HELP'"},
        {{"--format", "mp3", "x.wav"}, 2, "", "Unknown format: mp3"},
        {{"--band", "5000", "--info", "x.wav"}, 2, "", "--band needs LO:HI"},
        {{"--size", "big", "--render", "x.png", "x.wav"}, 2, "", "--size needs WxH"},
        {{"--fft-exponent", "eight", "x.wav"}, 2, "", "--fft-exponent needs a whole number"},
        {{"--info"}, 2, "", "A recording is needed"},
        {{"a.wav", "b.wav"}, 2, "", "Only one recording can be opened"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const ProcessRun run = runNorvale(row.arguments, 30000);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, row.status);
        EXPECT_TRUE(run.out.startsWith(row.stdoutStart)) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(row.stderrHas)) << run.err.toStdString();
        if (row.status == 2) {
            EXPECT_TRUE(run.err.contains("Usage: norvale")) << run.err.toStdString();
        }
    }
}

TEST(Startup, RunsWithoutAWindow)
{
    QTemporaryDir dir;
    const QString meta = dir.filePath("tone.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("tone.sigmf-data"), 8000,
                               recordingfiles::tone(8000, 2.0, 1000.0));
    const QString raw = dir.filePath("tone.cs16");
    recordingfiles::writeBytes(raw, std::string(4 * 8000, '\1'));

    // Pictures of both tabs, at the size asked for, with no display at all.
    const QString time = dir.filePath("time.png");
    const QString spectrum = dir.filePath("spectrum.png");
    ProcessRun run = runNorvale({"--render", time, "--render-spectrum", spectrum, "--size", "900x600",
                                 "--start", "0.5", "--stop", "1.5", meta},
                                60000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QImage(time).size(), QSize(900, 600));
    EXPECT_EQ(QImage(spectrum).size(), QSize(900, 600));

    run = runNorvale({"--info", meta}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject info = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(info["name"].toString(), "tone.sigmf-meta");
    EXPECT_EQ(info["samples"].toInt(), 16000);
    EXPECT_EQ(info["sampleRate"].toInt(), 8000);
    EXPECT_EQ(info["duration"].toDouble(), 2.0);
    EXPECT_EQ(info["datatype"].toString(), "cf32_le");
    EXPECT_TRUE(info["dcOffset"].isObject());

    // The band's measurements: the tone of amplitude 0.5 at 1 kHz, full scale 1 V into 1 ohm.
    run = runNorvale({"--measure", "--band", "500:1500", "--start", "0.5", meta}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject measured = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(measured["bandLowHz"].toDouble(), 500.0);
    EXPECT_EQ(measured["bandHighHz"].toDouble(), 1500.0);
    EXPECT_NEAR(measured["channelPowerDbm"].toDouble(), 10 * std::log10(0.25 / 2 / 1e-3), 0.1);
    EXPECT_NEAR(measured["peakFrequencyHz"].toDouble(), 1000.0, 0.1 * 8000 / 256);
    EXPECT_EQ(measured["occupiedPercent"].toDouble(), 99.0);
    for (const char* key : {"binCount", "binWidthHz", "noiseDensityDbHz", "snrDb", "occupiedBandwidthHz",
                            "occupiedLowHz", "occupiedHighHz", "meanFrequencyHz"})
        EXPECT_TRUE(measured.contains(key)) << key;

    // A raw file opened with its datatype and rate.
    run = runNorvale({"--info", "--format", "binary", "--datatype", "ci16_le", "--rate", "8000", raw},
                     30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object()["samples"].toInt(), 8000);

    // The selection exported; the new recording opens with the range's samples.
    const QString exported = dir.filePath("cut.sigmf-meta");
    run = runNorvale({"--export", exported, "--start", "0.5", "--stop", "1", meta}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = runNorvale({"--info", exported}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object()["samples"].toInt(), 4001);

    // Refusals: the panel's own messages on standard error, status 1, nothing written.
    struct Refusal
    {
        QStringList arguments;
        QByteArray message;
    } refusals[] = {
        {{"--info", dir.filePath("missing.wav")}, "Cannot open \"" + dir.filePath("missing.wav").toUtf8()
                                                   + "\": No such file or directory"},
        {{"--info", "--format", "binary", "--datatype", "ci16_le", "--rate", "", raw},
         "A raw file needs its sample rate: give --rate or fill \"Sample rate\""},
        {{"--render", time, "--start", "3", meta}, "Start time must be less than the stop time"},
        {{"--render", time, "--band", "-9000:0", meta}, "Invalid start frequency: must lie between -4000 and 4000 Hz"},
        {{"--render", time, "--fft-exponent", "16", meta}, "Invalid FFT size exponent: input shall be <= 15"},
        {{"--render", time, "--overlap", "120", meta}, "Invalid overlap: must lie between 0 and 100 %"},
        {{"--render", time, "--range", "0", meta}, "Invalid range: input shall be > 0"},
        {{"--export", meta, meta}, ""},
    };
    QFile::remove(time);
    for (const Refusal& row : refusals) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        run = runNorvale(row.arguments, 30000);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(row.message)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(time));
    }
}

// What an export writes reads back as it was: a 24-bit WAV's tone at the same
// dBm in its SigMF export, a band's rate with its fraction, and a raw file's
// rate given with one.
TEST(Startup, ExportsKeepRateAndCalibration)
{
    QTemporaryDir dir;
    // 24-bit stereo PCM at 8000 samples per second: a tone at half full scale.
    const recordingfiles::Samples tone = recordingfiles::tone(8000, 2.0, 1000.0);
    std::string data;
    for (std::size_t k = 0; k < tone.i.size(); ++k)
        for (double value : {tone.i[k], tone.q[k]}) {
            const auto pcm = static_cast<uint32_t>(static_cast<int32_t>(std::lround(value * 8388608.0)));
            data.append({char(pcm & 0xff), char((pcm >> 8) & 0xff), char((pcm >> 16) & 0xff)});
        }
    std::string wav = "RIFF";
    recordingfiles::appendU32(wav, uint32_t(36 + data.size()));
    wav += "WAVEfmt ";
    for (uint32_t field : {16u, 1u | (2u << 16), 8000u, 8000u * 6, 6u | (24u << 16)})
        recordingfiles::appendU32(wav, field);
    wav += "data";
    recordingfiles::appendU32(wav, uint32_t(data.size()));
    const QString source = dir.filePath("pcm24.wav");
    recordingfiles::writeBytes(source, wav + data);

    const auto channelPower = [](const QString& path) {
        const ProcessRun run = runNorvale({"--measure", "--band", "500:1500", path}, 30000);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out).object()["channelPowerDbm"].toDouble();
    };
    const QString exported = dir.filePath("pcm24.sigmf-meta");
    ASSERT_EQ(runNorvale({"--export", exported, source}, 30000).exitCode, 0);
    EXPECT_NEAR(channelPower(exported), channelPower(source), 0.01);

    // A band of 1 Hz: the rate divided by 6400, 1.25 samples per second.
    const QString band = dir.filePath("band.sigmf-meta");
    ASSERT_EQ(runNorvale({"--export", band, "--band", "999.5:1000.5", source}, 30000).exitCode, 0);
    ProcessRun run = runNorvale({"--info", band}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonObject info = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(info["sampleRate"].toDouble(), 1.25);
    EXPECT_EQ(info["samples"].toInt(), 3);
    EXPECT_EQ(info["duration"].toDouble(), 2.4);

    const QString raw = dir.filePath("raw.cs16");
    recordingfiles::writeBytes(raw, std::string(4 * 1000, '\1'));
    run = runNorvale({"--info", "--rate", "2400000.5", raw}, 30000);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    info = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(info["sampleRate"].toDouble(), 2400000.5);
    EXPECT_EQ(info["duration"].toDouble(), 1000 / 2400000.5);
}
