// The command line's options, read with QCommandLineParser.

#include "app/CommandLine.h"

#include "io/RecordingOpener.h"
#include "session/NativePath.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>


namespace {

// What a picture may be: large enough for the pages' layouts (so a picture is
// exactly the size asked for), small enough to be drawn without exhausting memory.
constexpr int smallestPictureWidth = 800;
constexpr int smallestPictureHeight = 600;
constexpr qint64 mostPicturePixels = 40000000;

// 40000000 as "40,000,000".
QString grouped(qint64 value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, ',');
    return digits;
}

// What is wrong with a picture size, or nothing.
QString sizeFault(const QString& text, const QSize& size)
{
    if (size.width() < smallestPictureWidth || size.height() < smallestPictureHeight)
        return QStringLiteral("--size %1 is too small: the smallest picture is %2x%3")
            .arg(text)
            .arg(smallestPictureWidth)
            .arg(smallestPictureHeight);
    if (qint64(size.width()) * size.height() > mostPicturePixels)
        return QStringLiteral("--size %1 is too large: a picture holds at most %2 pixels (8000x5000, say)")
            .arg(text, grouped(mostPicturePixels));
    return {};
}

// The options the recording's format takes no value from, or nothing: a WAV file or
// SigMF recording gives its own rate and datatype, an IQW file is cf32_le, and a
// raw capture named by its ending is read in the datatype the ending says.
QString optionsFault(const CommandLineOptions& o, bool rateGiven, bool datatypeGiven)
{
    if (o.recording.isEmpty() || o.format < 0)
        return {};
    const std::string path = nativePath(o.recording);
    const auto format = static_cast<FileFormat>(o.format);
    std::optional<FileFormat> read = format == FileFormat::Auto ? formatOfPath(path) : std::optional(format);
    if (!read)
        return {};
    const QString name = shownPath(o.recording);
    if (*read == FileFormat::Wav || *read == FileFormat::Sigmf) {
        const QString kind = *read == FileFormat::Wav ? QStringLiteral("a WAV file") : QStringLiteral("a SigMF recording");
        if (rateGiven)
            return QStringLiteral("--rate does not apply to %1: \"%2\" gives its own sample rate").arg(kind, name);
        if (datatypeGiven)
            return QStringLiteral("--datatype does not apply to %1: \"%2\" gives its own datatype").arg(kind, name);
        return {};
    }
    if (!datatypeGiven)
        return {};
    if (*read == FileFormat::Iqw)
        return QStringLiteral("--datatype does not apply to an IQW file: its samples are cf32_le");
    if (format == FileFormat::Auto)
        if (const std::optional<std::string> implied = impliedDatatype(path))
            return QStringLiteral("--datatype does not apply to \"%1\": its ending says %2; give --format "
                                  "binary to read it in another datatype")
                .arg(name, QString::fromStdString(*implied));
    return {};
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption format{"format", "How the recording is read: auto (by its ending), sigmf, "
                                        "wav, binary or iqw.", "auto|sigmf|wav|binary|iqw", "auto"};
    QCommandLineOption datatype{"datatype", "SigMF datatype of a raw file, e.g. ci16_le.", "TYPE"};
    QCommandLineOption rate{"rate",
                            "Sample rate of a raw or IQW file, samples per second (decimals allowed, "
                            "e.g. 2400000.5).",
                            "HZ"};
    QCommandLineOption start{"start", "Start of the time range, seconds.", "S"};
    QCommandLineOption stop{"stop", "End of the time range, seconds.", "S"};
    QCommandLineOption band{"band", "Band shown (and exported), baseband hertz.", "LO:HI"};
    QCommandLineOption fftExponent{"fft-exponent", "FFT size 2^N, N from 1 to 15.", "N"};
    QCommandLineOption overlap{"overlap", "Overlap of FFT segments, percent.", "PERCENT"};
    QCommandLineOption range{"range", "Dynamic range of the spectrogram, dB.", "DB"};
    QCommandLineOption render{"render", "Write the Time tab's picture as PNG and exit.", "FILE.png"};
    QCommandLineOption renderSpectrum{"render-spectrum", "Write the Frequency tab's picture as PNG "
                                                         "and exit.", "FILE.png"};
    QCommandLineOption size{"size", "Size of the pictures, pixels (default 1400x900; from 800x600 to "
                                    "40,000,000 pixels).", "WxH"};
    QCommandLineOption exportPath{"export", "Write the selection to a new recording (.sigmf-meta, "
                                            ".sigmf or .wav; with --band only that band) and exit.",
                                  "FILE"};
    QCommandLineOption info{"info", "Print what the file says about the recording as JSON and exit."};
    QCommandLineOption measure{"measure", "Print the band measurements of the selection as JSON "
                                          "and exit."};
    QCommandLineOption trace{"trace", "What --trace-out writes of the band: amplitude (am, dBFS), "
                                      "frequency (fm, Hz from the band's centre) or phase (pm, degrees); "
                                      "what --audio-out demodulates (am, or fm).", "am|fm|pm"};
    QCommandLineOption traceOut{"trace-out", "Write the band's trace over the selection as CSV "
                                             "(time_s,value) and exit.", "FILE.csv"};
    QCommandLineOption squelch{"squelch", "Leave frequency and phase out where the band is quieter "
                                          "than its noise floor plus DB.", "DB"};
    QCommandLineOption audioOut{"audio-out", "Write the band's audio over the selection (mono 16-bit "
                                             "PCM at 48 kHz) and exit.", "FILE.wav"};
    QCommandLineOption estimate{"estimate", "Print what the band's signal is over the selection (symbol "
                                            "rate, modulation, offset, FSK tones) as JSON and exit."};
    QCommandLineOption symbols{"symbols", "Print the symbols and bits of the burst in the selection's band "
                                          "as JSON and exit."};
    QCommandLineOption symbolRate{"symbol-rate", "Symbols per second for --symbols (estimated when not given).",
                                  "HZ"};
    QCommandLineOption modulation{"modulation", "The keying for --symbols: OOK, ASK, 2FSK, 4FSK, BPSK or QPSK "
                                                "(estimated when not given).", "M"};
    QCommandLineOption levels{"levels", "Symbols of the keying for --symbols: 2, 4 or 8.", "N"};
    QCommandLineOption detect{"detect", "Find the bursts in the selection and print them as JSON, then exit."};
    QCommandLineOption threshold{"threshold", "How far a burst stands above the noise floor, dB "
                                              "(default 6).", "DB"};
    QCommandLineOption minDuration{"min-duration", "Shortest burst reported, seconds (default one FFT of "
                                                   "the detector).", "S"};
    QCommandLineOption saveAnnotations{"save-annotations", "With --detect: save the bursts as annotations "
                                                           "labelled \"burst\", as the window's Save does."};

    Parser()
    {
        parser.setApplicationDescription("Norvale: an inspector of IQ recordings.");
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addHelpOption();
        parser.addVersionOption();
        for (const QCommandLineOption* option :
             {&format, &datatype, &rate, &start, &stop, &band, &fftExponent, &overlap, &range,
              &render, &renderSpectrum, &size, &exportPath, &info, &measure, &trace, &traceOut, &squelch,
              &audioOut, &estimate, &symbols, &symbolRate, &modulation, &levels, &detect, &threshold,
              &minDuration, &saveAnnotations})
            parser.addOption(*option);
        parser.addPositionalArgument("recording", "The recording to open.", "[recording]");
        // Qt's own options, which the application object takes out of the line.
        for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                                 "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                 "display", "geometry", "style", "stylesheet"}) {
            QCommandLineOption qt(name, QString(), "value");
            qt.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(qt);
        }
        for (const char* name : {"reverse", "widgetcount"}) {
            QCommandLineOption qt(name);
            qt.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(qt);
        }
    }

    QString help() const
    {
        QString text = parser.helpText();
        text.replace(QLatin1String("<executable_name>"), QLatin1String("norvale"));
        return text;
    }
};

// Reads --symbols and its options into o; what is wrong with them, or nothing.
QString readSymbolOptions(const QCommandLineParser& parser, const Parser& p, CommandLineOptions& o)
{
    o.symbols = parser.isSet(p.symbols);
    for (const QCommandLineOption* option : {&p.symbolRate, &p.modulation, &p.levels})
        if (parser.isSet(*option) && !o.symbols)
            return "--" + option->names().front() + " needs --symbols";
    if (parser.isSet(p.symbolRate)) {
        bool ok = false;
        const double hz = parser.value(p.symbolRate).toDouble(&ok);
        if (!ok || !std::isfinite(hz) || !(hz > 0))
            return "--symbol-rate needs a positive number of hertz";
        o.symbolRate = hz;
    }
    if (parser.isSet(p.modulation)) {
        o.modulation = parser.value(p.modulation);
        if (!QStringList{"ook", "ask", "2fsk", "4fsk", "bpsk", "qpsk"}.contains(o.modulation.toLower()))
            return "--modulation needs OOK, ASK, 2FSK, 4FSK, BPSK or QPSK";
    }
    if (parser.isSet(p.levels)) {
        bool ok = false;
        const int n = parser.value(p.levels).toInt(&ok);
        if (!ok || (n != 2 && n != 4 && n != 8))
            return "--levels needs 2, 4 or 8";
        o.levels = n;
    }
    return {};
}

CommandLine badUsage(const QString& what, const Parser& parser)
{
    CommandLine result;
    result.outcome = CommandLine::Outcome::BadUsage;
    result.text = "norvale: " + what + "\n\n" + parser.help();
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    Parser p;
    QCommandLineParser& parser = p.parser;
    if (!parser.parse(arguments))
        return badUsage(parser.errorText(), p);
    CommandLine result;
    if (parser.isSet("help")) {
        result.outcome = CommandLine::Outcome::Help;
        result.text = p.help();
        return result;
    }
    if (parser.isSet("version")) {
        result.outcome = CommandLine::Outcome::Version;
        return result;
    }
    CommandLineOptions& o = result.options;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return badUsage("Only one recording can be opened: " + positional.join(' '), p);
    o.recording = positional.value(0);
    const QStringList formats{"auto", "sigmf", "wav", "binary", "iqw"};
    o.format = static_cast<int>(formats.indexOf(parser.value(p.format).toLower()));
    if (o.format < 0)
        return badUsage("Unknown format: " + parser.value(p.format), p);
    o.datatype = parser.value(p.datatype);
    o.rate = parser.value(p.rate);
    auto optional = [&](const QCommandLineOption& option) -> std::optional<QString> {
        return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
    };
    o.start = optional(p.start);
    o.stop = optional(p.stop);
    o.overlap = optional(p.overlap);
    o.range = optional(p.range);
    if (parser.isSet(p.band)) {
        const QStringList edges = parser.value(p.band).split(':');
        if (edges.size() != 2 || edges[0].isEmpty() || edges[1].isEmpty())
            return badUsage("--band needs LO:HI, for example -5000:5000", p);
        o.bandLow = edges[0];
        o.bandHigh = edges[1];
    }
    if (parser.isSet(p.fftExponent)) {
        bool ok = false;
        o.fftExponent = parser.value(p.fftExponent).toInt(&ok);
        if (!ok)
            return badUsage("--fft-exponent needs a whole number", p);
    }
    if (parser.isSet(p.size)) {
        const QString text = parser.value(p.size);
        const QRegularExpressionMatch match = QRegularExpression("^(\\d{1,9})x(\\d{1,9})$").match(text);
        if (!match.hasMatch())
            return badUsage("--size needs WxH in pixels, for example 1400x900", p);
        o.size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
        if (const QString fault = sizeFault(text, o.size); !fault.isEmpty())
            return badUsage(fault, p);
    }
    o.render = parser.value(p.render);
    o.renderSpectrum = parser.value(p.renderSpectrum);
    o.exportPath = parser.value(p.exportPath);
    o.info = parser.isSet(p.info);
    o.measure = parser.isSet(p.measure);
    o.trace = parser.value(p.trace).toLower();
    o.traceOut = parser.value(p.traceOut);
    o.audioOut = parser.value(p.audioOut);
    o.estimate = parser.isSet(p.estimate);
    if (parser.isSet(p.trace) && !QStringList{"am", "fm", "pm"}.contains(o.trace))
        return badUsage("--trace needs am, fm or pm", p);
    if (parser.isSet(p.traceOut) && !parser.isSet(p.trace))
        return badUsage("--trace-out needs --trace am|fm|pm", p);
    if (parser.isSet(p.trace) && !parser.isSet(p.traceOut) && !parser.isSet(p.audioOut))
        return badUsage("--trace needs --trace-out or --audio-out", p);
    if (parser.isSet(p.squelch)) {
        bool ok = false;
        const double db = parser.value(p.squelch).toDouble(&ok);
        if (!ok || !std::isfinite(db))
            return badUsage("--squelch needs a number of decibels", p);
        if (o.traceOut.isEmpty())
            return badUsage("--squelch needs --trace-out", p);
        o.squelch = db;
    }
    if (const QString fault = readSymbolOptions(parser, p, o); !fault.isEmpty())
        return badUsage(fault, p);
    o.detect = parser.isSet(p.detect);
    o.saveAnnotations = parser.isSet(p.saveAnnotations);
    o.threshold = optional(p.threshold);
    o.minDuration = optional(p.minDuration);
    const std::pair<const QCommandLineOption*, const char*> detectOnly[] = {
        {&p.threshold, "--threshold"}, {&p.minDuration, "--min-duration"}, {&p.saveAnnotations, "--save-annotations"}};
    for (const auto& [option, name] : detectOnly)
        if (parser.isSet(*option) && !o.detect)
            return badUsage(QString(name) + " needs --detect", p);
    for (const auto& [text, what] : {std::pair{o.threshold, "--threshold needs a number of decibels"},
                                     std::pair{o.minDuration, "--min-duration needs a number of seconds"}}) {
        bool ok = false;
        if (text && (text->toDouble(&ok), !ok))
            return badUsage(what, p);
    }
    if (o.batch() && o.recording.isEmpty())
        return badUsage("A recording is needed", p);
    if (const QString fault = optionsFault(o, parser.isSet(p.rate), parser.isSet(p.datatype)); !fault.isEmpty())
        return badUsage(fault, p);
    return result;
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    // File names are bytes: every argument is kept whole (see NativePath.h).
    for (int k = 0; k < argc; ++k)
        arguments << pathText(argv[k]);
    return arguments;
}
