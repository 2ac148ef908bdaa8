// The trace as CSV and the audio as WAV, written under temporary names.

#include "app/TraceRun.h"

#include "dsp/BandTrace.h"
#include "dsp/PowerMedian.h"
#include "dsp/TraceAudio.h"
#include "dsp/WorkControl.h"
#include "export/AudioWav.h"
#include "export/OutputFile.h"
#include "io/Recording.h"
#include "plotdata/RangePass.h"

#include <QFileInfo>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace {

constexpr std::size_t readBlock = std::size_t(1) << 16;

TraceKind kindOf(const QString& name)
{
    return name == "am" ? TraceKind::Amplitude : name == "pm" ? TraceKind::Phase : TraceKind::Frequency;
}

// Feeds the trace's input samples, with the offset taken out, to `take`.
template <typename Take>
void feed(const SampleSource& source, const BandTrace& trace, const DcOffset& offset, Take take)
{
    std::vector<double> i(readBlock), q(readBlock);
    for (uint64_t at = trace.readFirst(); at < trace.readEnd();) {
        const auto count = static_cast<std::size_t>(std::min<uint64_t>(readBlock, trace.readEnd() - at));
        source.read(at, count, i.data(), q.data());
        for (std::size_t k = 0; offset.remove && k < count; ++k) {
            i[k] -= offset.i;
            q[k] -= offset.q;
        }
        take(at, count, i.data(), q.data());
        at += count;
    }
}

// Whether `path` names one of the recording's own files.
bool isRecordingFile(const QString& path, const QString& recordingPath)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    QString data = QFileInfo(recordingPath).absoluteFilePath();
    if (target == data)
        return true;
    if (data.endsWith(".sigmf-meta", Qt::CaseInsensitive))
        data = data.left(data.size() - 4) + "data";
    return target == data;
}

void writeCsv(const SampleSource& source, const TraceRequest& request, const DcOffset& offset,
              const std::string& path, const QString& kind)
{
    TraceRequest asked = request;
    if (asked.squelchBelowDb) {
        // The noise floor: the median power of the range's outputs.
        TraceRequest measure = request;
        measure.squelchBelowDb.reset();
        BandTrace trace(measure);
        PowerMedian median;
        std::vector<double> values, powers;
        feed(source, trace, offset, [&](uint64_t at, std::size_t count, const double* i, const double* q) {
            trace.consume(at, count, i, q, values, &powers);
            median.add(powers.data(), powers.size());
            values.clear();
            powers.clear();
        });
        trace.finish(values, &powers);
        median.add(powers.data(), powers.size());
        asked.squelchBelowDb = median.median().value_or(PowerMedian::lowestDb) + *request.squelchBelowDb;
    }
    BandTrace trace(asked);
    OutputFile file(path);
    file.write(std::string("time_s,value\n"));
    uint64_t m = trace.firstOutput();
    const double D = trace.decimation();
    std::vector<double> values;
    std::string text;
    char line[64];
    auto write = [&] {
        for (double v : values) {
            const double t = static_cast<double>(m++) * D / request.sampleRate;
            const int n = std::isnan(v) ? std::snprintf(line, sizeof line, "%.17g,\n", t)
                                        : std::snprintf(line, sizeof line, "%.17g,%.17g\n", t, v);
            text.append(line, static_cast<std::size_t>(n));
        }
        values.clear();
        file.write(text);
        text.clear();
    };
    feed(source, trace, offset, [&](uint64_t at, std::size_t count, const double* i, const double* q) {
        trace.consume(at, count, i, q, values);
        write();
    });
    trace.finish(values);
    write();
    file.finish();
    file.commit();
    // In the order the contract gives them.
    nlohmann::ordered_json out;
    out["kind"] = kind.toStdString();
    out["rateHz"] = trace.outputRate();
    out["samples"] = trace.outputCount();
    out["bandLowHz"] = request.low;
    out["bandHighHz"] = request.high;
    std::cout << out.dump() << std::endl;
}

} // namespace

int writeTraceOutputs(const Recording& recording, const QString& recordingPath, const ViewSettings& settings,
                      const DcOffset& offset, const CommandLineOptions& o)
{
    const double fs = static_cast<double>(recording.sampleRate());
    const StreamRange range = streamRangeOf(fs, recording.sampleCount(), settings.range.start, settings.range.stop);
    for (const QString& path : {o.traceOut, o.audioOut})
        if (!path.isEmpty() && isRecordingFile(path, recordingPath)) {
            std::cerr << "Cannot write " << path.toStdString() << ": it is the recording's own file" << std::endl;
            return 1;
        }
    try {
        if (!o.traceOut.isEmpty()) {
            TraceRequest request;
            request.kind = kindOf(o.trace);
            request.sampleRate = fs;
            request.recordingSamples = recording.sampleCount();
            request.low = settings.band.low;
            request.high = settings.band.high;
            request.first = range.first;
            request.end = range.end;
            request.fullScale = settings.power.fullScaleValue;
            request.squelchBelowDb = o.squelch;
            writeCsv(*recording.samples(), request, offset, o.traceOut.toStdString(), o.trace);
        }
        if (!o.audioOut.isEmpty()) {
            AudioRequest request;
            request.kind = o.trace.isEmpty() ? TraceKind::Frequency : kindOf(o.trace);
            request.sampleRate = fs;
            request.low = settings.band.low;
            request.high = settings.band.high;
            request.first = range.first;
            request.end = range.end;
            request.longest = 1e9;
            WorkControl control;
            const std::vector<int16_t> audio =
                bandAudio(*recording.samples(), request, offset.i, offset.q, offset.remove, control);
            writeAudioWav(o.audioOut.toStdString(), audio, audioRate);
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return 0;
}
