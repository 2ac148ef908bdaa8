#pragma once
// The command line: norvale [options] [recording]. Options say what the panel's
// fields would hold (checked later with the panel's own rules and messages), and
// --render, --render-spectrum, --export, --info, --measure and --detect make a run without
// a window that writes its result and exits.

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

struct CommandLineOptions
{
    QString recording;
    // Index of the "File format" box (0 Auto, 1 SigMF, 2 WAV, 3 Binary, 4 IQW).
    int format = 0;
    QString datatype;
    QString rate;
    // Field texts; nothing keeps the loaded recording's.
    std::optional<QString> start;
    std::optional<QString> stop;
    std::optional<QString> bandLow;
    std::optional<QString> bandHigh;
    std::optional<int> fftExponent;
    std::optional<QString> overlap;
    std::optional<QString> range;
    QString render;
    QString renderSpectrum;
    QSize size{1400, 900};
    QString exportPath;
    bool info = false;
    bool measure = false;
    // --trace am|fm|pm (empty when not given), --trace-out, --squelch, --audio-out.
    QString trace;
    QString traceOut;
    std::optional<double> squelch;
    QString audioOut;
    // --estimate: what the band's signal is, as JSON.
    bool estimate = false;
    // --symbols, with what it is told instead of estimating: --symbol-rate,
    // --modulation (a keyed modulation's name), --levels.
    bool symbols = false;
    std::optional<double> symbolRate;
    QString modulation;
    std::optional<int> levels;
    // --detect, --threshold, --min-duration (texts, checked by the run) and --save-annotations.
    bool detect = false;
    std::optional<QString> threshold;
    std::optional<QString> minDuration;
    bool saveAnnotations = false;

    // Whether the run writes its result and exits instead of opening the window.
    bool batch() const
    {
        return !render.isEmpty() || !renderSpectrum.isEmpty() || !exportPath.isEmpty() || info
               || measure || !traceOut.isEmpty() || !audioOut.isEmpty() || estimate || symbols || detect;
    }
};

struct CommandLine
{
    enum class Outcome
    {
        Run,
        Help,
        Version,
        BadUsage,
    };
    Outcome outcome = Outcome::Run;
    CommandLineOptions options;
    // The help text, or for BadUsage what was wrong followed by the help text.
    QString text;
};

// Reads the arguments (the program's name first). Qt's own options (-geometry,
// -platform, -style, ...) are accepted and left to the application object, so
// the line can be read before that exists: help, the version, bad usage and
// runs without a window then need no display.
CommandLine parseCommandLine(const QStringList& arguments);
// The arguments as text that keeps every byte (pathText): nativePath gives a
// file name back as the system spells it.
QStringList argumentsOf(int argc, char** argv);
