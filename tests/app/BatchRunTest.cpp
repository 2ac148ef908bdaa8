// Runs without a window as a batch sees them: refusals that name the file and
// say why, file names that are not UTF-8, and the command line's contracts.

#include "session/NativePath.h"
#include "tests/panel/RecordingFiles.h"

#include <QJsonDocument>
#include <QImage>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct RawRun
{
    bool finished = false;
    int status = -1;
    std::string out;
    std::string err;
};

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the program with arguments passed as the bytes they are (QProcess would
// re-encode them), without a display, for at most `seconds`.
RawRun runBytes(const std::vector<std::string>& arguments, const std::string& folder, int seconds = 60,
               rlim_t largestFile = RLIM_INFINITY)
{
    const std::string out = folder + "/run.out";
    const std::string err = folder + "/run.err";
    const pid_t child = ::fork();
    if (child == 0) {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::unsetenv("XDG_RUNTIME_DIR");
        if (largestFile != RLIM_INFINITY) {
            // Writes beyond the limit fail as on a full disk (EFBIG), without the signal.
            const rlimit limit{largestFile, largestFile};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        }
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        std::vector<char*> argv{const_cast<char*>(NORVALE_EXECUTABLE)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(NORVALE_EXECUTABLE, argv.data());
        ::_exit(127);
    }
    RawRun run;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.finished = WIFEXITED(status);
    run.status = WEXITSTATUS(status);
    run.out = fileText(out);
    run.err = fileText(err);
    return run;
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

} // namespace

// Every byte string survives the trip through the window's text and back, and
// only bytes that are not UTF-8 are escaped.
TEST(NativePath, EveryByteStringComesBackAsItWas)
{
    const std::string rows[] = {
        "plain.wav", "caf\xc3\xa9.wav", "latin\xe9.wav", "bad\xffname.sigmf-meta",
        "\xed\xa0\x80surrogate", "\xc0\xafoverlong", "\xf4\x90\x80\x80too-high", "cut\xe2\x82",
        "\xf0\x9f\x93\xa1 antenna", std::string("\x80\xbf\xfe", 3)};
    for (const std::string& bytes : rows) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(nativePath(pathText(bytes)), bytes);
        EXPECT_EQ(shownPath(pathText(bytes)) == QString::fromUtf8(bytes), true);
    }
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(nativePath(pathText(all)), all);
    EXPECT_EQ(shownFileName(pathText("/data/latin\xe9.wav")), QString::fromUtf8("latin\xef\xbf\xbd.wav"));
}

TEST(BatchRun, FileNamesAreBytes)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    recordingfiles::writeWav(dir.filePath("w.wav"), 8000, recordingfiles::tone(8000, 0.5, 1000.0));
    recordingfiles::writeSigmf(dir.filePath("p.sigmf-meta"), dir.filePath("p.sigmf-data"), 8000,
                               recordingfiles::tone(8000, 0.5, 1000.0));
    const std::string latin = folder + "/latin\xe9.wav";
    const std::string meta = folder + "/bad\xffname.sigmf-meta";
    std::filesystem::rename(folder + "/w.wav", latin);
    std::filesystem::rename(folder + "/p.sigmf-meta", meta);
    std::filesystem::rename(folder + "/p.sigmf-data", folder + "/bad\xffname.sigmf-data");

    RawRun run = runBytes({"--info", latin}, folder);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.status, 0) << run.err;
    const QJsonObject info = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(info["name"].toString(), QString::fromUtf8("latin\xef\xbf\xbd.wav"));
    EXPECT_EQ(info["samples"].toInt(), 4000);

    run = runBytes({"--info", meta}, folder);
    EXPECT_EQ(run.status, 0) << run.err;

    // What is written takes the name given, byte for byte.
    const std::string exported = folder + "/cut\xe9.sigmf-meta";
    const std::string picture = folder + "/pic\xe9.png";
    run = runBytes({"--export", exported, "--render", picture, "--size", "800x600", meta}, folder);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(exported));
    EXPECT_TRUE(std::filesystem::exists(folder + "/cut\xe9.sigmf-data"));
    EXPECT_TRUE(std::filesystem::exists(picture));

    // A refusal names the file with its own bytes.
    const std::string gone = folder + "/gone\xe9.wav";
    run = runBytes({"--info", gone}, folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot open " + quoted(gone) + ": No such file or directory\n");
    // QTemporaryDir cannot name these files to remove them.
    std::filesystem::remove_all(folder);
}

// What a batch of many files needs: which file, and what is wrong with it (links
// and permissions as the readers' own tests have them).
TEST(BatchRun, RefusalsNameTheFileAndTheReason)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const auto path = [&](const char* name) { return folder + "/" + name; };
    const auto write = [&](const char* name, const std::string& bytes) {
        recordingfiles::writeBytes(dir.filePath(name), bytes);
        return path(name);
    };
    ASSERT_EQ(::mkfifo(path("pipe.wav").c_str(), 0600), 0);
    const std::string raw = write("raw.bin", std::string(64, '\1'));
    const std::string goodGlobal = R"({"global": {"core:sample_rate": 8000, "core:datatype": "cf32_le"}})";
    write("lonely.sigmf-meta", goodGlobal);
    write("rate.sigmf-meta", R"({"global": {"core:sample_rate": "fast", "core:datatype": "cf32_le"}})");
    write("rate.sigmf-data", std::string(64, '\0'));
    write("top.sigmf-meta", R"([{"global": {}}])");
    write("top.sigmf-data", std::string(64, '\0'));
    const std::string id3 = std::string("ID3\x04", 4) + std::string(60, '\0');
    const std::string rateNeeded = "A raw file needs its sample rate: give --rate or fill \"Sample rate\"";
    const struct
    {
        std::vector<std::string> arguments;
        std::string message;
    } rows[] = {
        {{"--info", folder}, "Cannot open " + quoted(folder) + ": it is a folder"},
        {{"--info", path("pipe.wav")}, "Cannot open " + quoted(path("pipe.wav")) + ": it is a named pipe (FIFO), not a file"},
        {{"--info", "--format", "binary", "--datatype", "ci16_le", raw}, rateNeeded},
        {{"--info", "--rate", "8000", write("empty.cs16", "")}, quoted(path("empty.cs16")) + " is empty"},
        {{"--info", write("empty.sigmf-meta", "")}, ""},
        {{"--info", write("id3.wav", id3)}, quoted(path("id3.wav")) + " is not a WAV file (it starts with \"ID3\")"},
        {{"--info", write("short.wav", "RIFF" + std::string(39, '\0'))},
         quoted(path("short.wav")) + " is too short to be a WAV file: it holds 43 bytes, a WAV header takes 44"},
        {{"--info", "--format", "binary", "--datatype", "cf33_le", "--rate", "8000", raw},
         "Cannot read " + quoted(raw) + " as \"cf33_le\": values of 33 bits are not supported (only 8, 16, 32 or 64)"},
        {{"--info", write("song.mp3", "ID3")},
         "Cannot tell the format of " + quoted(path("song.mp3"))
             + " from its name: give --format or choose a \"File format\""},
        {{"--info", path("rate.sigmf-meta")},
         "The metadata file \"rate.sigmf-meta\" gives \"core:sample_rate\" as a string (\"fast\"), where SigMF "
         "has a number of samples per second"},
        {{"--info", path("top.sigmf-meta")},
         "The metadata file \"top.sigmf-meta\" gives the whole document as an array ([{\"global\":{}}]), where "
         "SigMF has an object"},
        {{"--info", path("lonely.sigmf-meta")},
         "Cannot open " + quoted(path("lonely.sigmf-data")) + ": No such file or directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.back());
        const RawRun run = runBytes(row.arguments, folder, 30);
        // A FIFO is never waited on.
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_EQ(run.err.find("json.exception"), std::string::npos) << run.err;
        if (!row.message.empty()) {
            EXPECT_EQ(run.err, row.message + "\n");
        }
    }
}

// What the command line promises: pictures of the size asked for or a refusal
// before anything is drawn, one JSON object, SigMF names and UTC times, write
// failures with the system's reason, no option silently ignored, nothing on
// standard error when all went well.
TEST(BatchRun, CommandLineContracts)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const auto path = [&](const char* name) { return folder + "/" + name; };
    recordingfiles::writeCf32(dir.filePath("rec.sigmf-data"), recordingfiles::tone(8000, 1.0, 1000.0));
    recordingfiles::writeBytes(dir.filePath("rec.sigmf-meta"),
                               R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 8000}, )"
                               R"("captures": [{"core:sample_start": 0, "core:datetime": "2024-05-01 14:00:00.25+02:00"}]})");
    const std::string meta = path("rec.sigmf-meta");
    recordingfiles::writeWav(dir.filePath("cut.wav"), 8000, recordingfiles::tone(8000, 0.5, 1000.0));
    std::filesystem::resize_file(path("cut.wav"), 44 + 8 * 3000 + 5);
    recordingfiles::writeBytes(dir.filePath("x.cs8"), std::string(200, '\1'));
    recordingfiles::writeCf32(dir.filePath("x.iqw"), recordingfiles::tone(8000, 0.1, 1000.0));

    struct Usage
    {
        std::vector<std::string> arguments;
        std::string message;
    } refused[] = {
        {{"--size", "300x200", "--render", path("a.png"), meta}, "--size 300x200 is too small: the smallest picture is 800x600"},
        {{"--size", "2x2", "--render", path("a.png"), meta}, "--size 2x2 is too small: the smallest picture is 800x600"},
        {{"--size", "40000x40000", "--render", path("a.png"), meta},
         "--size 40000x40000 is too large: a picture holds at most 40,000,000 pixels (8000x5000, say)"},
        {{"--info", "--rate", "8000", path("cut.wav")},
         "--rate does not apply to a WAV file: \"" + path("cut.wav") + "\" gives its own sample rate"},
        {{"--info", "--datatype", "ci16_le", meta},
         "--datatype does not apply to a SigMF recording: \"" + meta + "\" gives its own datatype"},
        {{"--info", "--rate", "8000", "--datatype", "ci16_le", path("x.iqw")},
         "--datatype does not apply to an IQW file: its samples are cf32_le"},
    };
    for (const Usage& row : refused) {
        SCOPED_TRACE(row.message);
        const RawRun run = runBytes(row.arguments, folder, 30);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("norvale: " + row.message + "\n", 0), 0u) << run.err;
        EXPECT_FALSE(std::filesystem::exists(path("a.png")));
    }

    // Exactly the size asked for, the smallest one included.
    for (const char* size : {"800x600", "1001x777"}) {
        const RawRun run = runBytes({"--size", size, "--render", path("t.png"), "--render-spectrum", path("s.png"), meta},
                                    folder);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const QString expected(size);
        for (const char* picture : {"t.png", "s.png"}) {
            const QImage image(QString::fromStdString(path(picture)));
            EXPECT_EQ(QString("%1x%2").arg(image.width()).arg(image.height()), expected) << picture;
        }
    }

    RawRun run = runBytes({"--info", "--measure", meta}, folder);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    QJsonParseError error;
    const QJsonObject both = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
    EXPECT_EQ(both["samples"].toInt(), 8000);
    EXPECT_TRUE(both.contains("channelPowerDbm"));
    EXPECT_EQ(both["startTime"].toString(), "2024-05-01T12:00:00.250000Z");
    EXPECT_TRUE(both["note"].isNull());

    const struct
    {
        const char* file;
        std::vector<std::string> options;
        QJsonValue datatype;
        const char* note; // the start of the note; empty: none
    } infos[] = {
        {"cut.wav", {}, "cf32_le", "The file ends 7,995 bytes before its declared end: 3,000 samples loaded"},
        {"x.cs8", {"--rate", "1000"}, "ci8", ""},
    };
    for (const auto& row : infos) {
        SCOPED_TRACE(row.file);
        std::vector<std::string> arguments = row.options;
        arguments.insert(arguments.begin(), "--info");
        arguments.push_back(path(row.file));
        run = runBytes(arguments, folder);
        EXPECT_EQ(run.status, 0) << run.err;
        const QJsonObject info = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
        EXPECT_EQ(info["datatype"], row.datatype);
        EXPECT_EQ(info["note"].toString(), row.note);
    }

    // A write that fails says which file and the system's reason; nothing is left behind.
    run = runBytes({"--render", path("big.png"), meta}, folder, 60, 4096);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot write " + path("big.png") + ": File too large\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().find("big"), std::string::npos) << entry.path();
}
