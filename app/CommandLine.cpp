// The command line's options, read with QCommandLineParser.

#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>


namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption format{"format", "How the recording is read: auto (by its ending), sigmf, "
                                        "wav, binary or iqw.", "auto|sigmf|wav|binary|iqw", "auto"};
    QCommandLineOption datatype{"datatype", "SigMF datatype of a raw file, e.g. ci16_le.", "TYPE"};
    QCommandLineOption rate{"rate", "Sample rate of a raw or IQW file, samples per second.", "HZ"};
    QCommandLineOption start{"start", "Start of the time range, seconds.", "S"};
    QCommandLineOption stop{"stop", "End of the time range, seconds.", "S"};
    QCommandLineOption band{"band", "Band shown (and exported), baseband hertz.", "LO:HI"};
    QCommandLineOption fftExponent{"fft-exponent", "FFT size 2^N, N from 1 to 15.", "N"};
    QCommandLineOption overlap{"overlap", "Overlap of FFT segments, percent.", "PERCENT"};
    QCommandLineOption range{"range", "Dynamic range of the spectrogram, dB.", "DB"};
    QCommandLineOption render{"render", "Write the Time tab's picture as PNG and exit.", "FILE.png"};
    QCommandLineOption renderSpectrum{"render-spectrum", "Write the Frequency tab's picture as PNG "
                                                         "and exit.", "FILE.png"};
    QCommandLineOption size{"size", "Size of the pictures, pixels (default 1400x900).", "WxH"};
    QCommandLineOption exportPath{"export", "Write the selection to a new recording (.sigmf-meta, "
                                            ".sigmf or .wav; with --band only that band) and exit.",
                                  "FILE"};
    QCommandLineOption info{"info", "Print what the file says about the recording as JSON and exit."};
    QCommandLineOption measure{"measure", "Print the band measurements of the selection as JSON "
                                          "and exit."};

    Parser()
    {
        parser.setApplicationDescription("Norvale: an inspector of IQ recordings.");
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addHelpOption();
        parser.addVersionOption();
        for (const QCommandLineOption* option :
             {&format, &datatype, &rate, &start, &stop, &band, &fftExponent, &overlap, &range,
              &render, &renderSpectrum, &size, &exportPath, &info, &measure})
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
        const QRegularExpressionMatch match =
            QRegularExpression("^(\\d{2,5})x(\\d{2,5})$").match(parser.value(p.size));
        if (!match.hasMatch())
            return badUsage("--size needs WxH in pixels, for example 1400x900", p);
        o.size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
    }
    o.render = parser.value(p.render);
    o.renderSpectrum = parser.value(p.renderSpectrum);
    o.exportPath = parser.value(p.exportPath);
    o.info = parser.isSet(p.info);
    o.measure = parser.isSet(p.measure);
    if (o.batch() && o.recording.isEmpty())
        return badUsage("A recording is needed", p);
    return result;
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int k = 0; k < argc; ++k)
        arguments << QString::fromLocal8Bit(argv[k]);
    return arguments;
}
