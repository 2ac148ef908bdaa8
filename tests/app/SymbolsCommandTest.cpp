// The command line's --symbols: the JSON object as the contract gives it
// (members and their order, the symbols and bits of a known burst, the time
// of its first symbol), with --band, --start and --stop; bad usage and failures.

#include "tests/support/CommandRun.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/signals/ModulatedSignal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr uint32_t rate = 200000;

// A QPSK burst of 300 symbols at 10 kS/s, 40 kHz up, with noise around it
// (Es/N0 20 dB), 0.1 s of lead.
testsignals::KeyedSignal writeBurst(const QTemporaryDir& dir, const QString& name, testsignals::Keying keying)
{
    testsignals::Keyed shape;
    shape.keying = keying;
    shape.rate = rate;
    shape.symbolRate = 10000;
    shape.deviation = 5000;
    shape.symbols = 300;
    shape.offset = 40000;
    shape.phase0 = 1.1;
    shape.esN0Db = 20;
    shape.lead = 20000;
    shape.tail = 10000;
    shape.seed = 5;
    testsignals::KeyedSignal signal = testsignals::keyed(shape);
    recordingfiles::writeSigmf(dir.filePath(name + ".sigmf-meta"), dir.filePath(name + ".sigmf-data"), rate,
                               {signal.iq.i, signal.iq.q});
    return signal;
}

} // namespace

TEST(SymbolsCommand, JsonAsTheContractSays)
{
    QTemporaryDir dir;
    struct Row
    {
        testsignals::Keying keying;
        const char* modulation;
        int levels;
        bool rotations;
    };
    const Row rows[] = {{testsignals::Keying::Qpsk, "QPSK", 4, true}, {testsignals::Keying::Fsk2, "2fsk", 2, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.modulation);
        const testsignals::KeyedSignal truth = writeBurst(dir, row.modulation, row.keying);
        const QString meta = dir.filePath(QString(row.modulation) + ".sigmf-meta");
        // The range starts inside the lead and ends inside the tail.
        const CommandRun run = norvale({"--symbols", "--symbol-rate", "10000", "--modulation", row.modulation,
                                        "--band", "20000:60000", "--start", "0.05", "--stop", "0.19", meta});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.count('\n'), 1);
        EXPECT_TRUE(run.out.startsWith("{\"symbolRateHz\":10000.0,\"modulation\":\"")) << run.out.left(80).toStdString();
        const QJsonObject json = QJsonDocument::fromJson(run.out).object();
        const QByteArray order = run.out;
        EXPECT_LT(order.indexOf("\"levels\""), order.indexOf("\"firstSymbolTimeS\""));
        EXPECT_LT(order.indexOf("\"firstSymbolTimeS\""), order.indexOf("\"symbols\""));
        EXPECT_LT(order.indexOf("\"symbols\""), order.indexOf("\"bits\""));
        EXPECT_EQ(json.size(), 6);
        EXPECT_EQ(json["modulation"].toString(), QString(row.modulation).toUpper());
        EXPECT_EQ(json["levels"].toInt(), row.levels);
        EXPECT_NEAR(json["firstSymbolTimeS"].toDouble(), truth.firstSymbolTime, truth.symbolPeriod / 4);
        // The burst's 300 symbols within 2, each matched to the true one by its time.
        const QJsonArray symbols = json["symbols"].toArray();
        ASSERT_NEAR(symbols.size(), 300, 2);
        const auto first = static_cast<int>(
            std::lround((json["firstSymbolTimeS"].toDouble() - truth.firstSymbolTime) / truth.symbolPeriod));
        ASSERT_GE(first, 0);
        const QString bits = json["bits"].toString();
        const int width = row.levels == 4 ? 2 : 1;
        ASSERT_EQ(bits.size(), symbols.size() * width);
        // Each symbol as its bits, most significant first; the numbering up
        // to a rotation for PSK.
        const int rotation =
            row.rotations ? (truth.symbols[static_cast<std::size_t>(first)] - symbols[0].toInt() + row.levels) % row.levels
                          : 0;
        int wrong = 0;
        for (int k = 0; k < symbols.size() && k + first < 300; ++k) {
            const int s = symbols[k].toInt();
            wrong += (s + rotation) % row.levels != truth.symbols[static_cast<std::size_t>(k + first)];
            for (int b = 0; b < width; ++b)
                ASSERT_EQ(bits[k * width + b], QChar((s >> (width - 1 - b)) & 1 ? '1' : '0')) << k;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(SymbolsCommand, BadUsageAndFailures)
{
    QTemporaryDir dir;
    writeBurst(dir, "burst", testsignals::Keying::Bpsk);
    const QString meta = dir.filePath("burst.sigmf-meta");
    const testsignals::Iq hiss = testsignals::noise(rate / 4, 0.01, 9);
    const QString noise = dir.filePath("noise.sigmf-meta");
    recordingfiles::writeSigmf(noise, dir.filePath("noise.sigmf-data"), rate, {hiss.i, hiss.q});
    const struct
    {
        QStringList arguments;
        int exitCode;
        const char* message;
    } rows[] = {
        {{"--symbols", "--modulation", "8PSK", meta}, 2, "--modulation needs OOK, ASK, 2FSK, 4FSK, BPSK or QPSK"},
        {{"--symbols", "--modulation", "noise", meta}, 2, "--modulation needs"},
        {{"--symbols", "--symbol-rate", "0", meta}, 2, "--symbol-rate needs a positive number of hertz"},
        {{"--symbols", "--symbol-rate", "-9600", meta}, 2, "--symbol-rate needs a positive"},
        {{"--symbols", "--symbol-rate", "fast", meta}, 2, "--symbol-rate needs a positive"},
        {{"--symbols", "--levels", "3", meta}, 2, "--levels needs 2, 4 or 8"},
        {{"--symbol-rate", "9600", meta}, 2, "--symbol-rate needs --symbols"},
        {{"--modulation", "BPSK", meta}, 2, "--modulation needs --symbols"},
        {{"--symbols"}, 2, "A recording is needed"},
        {{"--symbols", noise}, 1, "No symbol rate found: give one with --symbol-rate"},
        {{"--symbols", "--symbol-rate", "10000", noise}, 1, "No modulation found: give one with --modulation"},
        {{"--symbols", "--symbol-rate", "10000", "--modulation", "BPSK", noise}, 1, "No steady symbol clock"},
        {{"--symbols", "--symbol-rate", "30000", "--modulation", "BPSK", "--band", "30000:50000", meta}, 1,
         "The symbol rate is above half the band's sample rate"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandRun run = norvale(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_TRUE(run.err.contains(row.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
}
