// The band read into memory, its symbols recovered and printed.

#include "app/SymbolsRun.h"

#include "analysis/BandSamples.h"
#include "analysis/SymbolExport.h"
#include "analysis/SymbolRecovery.h"
#include "dsp/WorkControl.h"
#include "io/Recording.h"
#include "plotdata/RangePass.h"

#include <iostream>
#include <stdexcept>

int printSymbols(const Recording& recording, const ViewSettings& settings, const DcOffset& offset,
                 const CommandLineOptions& o)
{
    const double fs = static_cast<double>(recording.sampleRate());
    const StreamRange range = streamRangeOf(fs, recording.sampleCount(), settings.range.start, settings.range.stop);
    try {
        BandSamplesRequest request;
        request.sampleRate = fs;
        request.low = settings.band.low;
        request.high = settings.band.high;
        request.first = range.first;
        request.end = range.end;
        WorkControl control;
        const BandSamples band = readBandSamples(*recording.samples(), request, offset, control);
        SymbolChoice choice;
        choice.symbolRateHz = o.symbolRate;
        if (!o.modulation.isEmpty())
            choice.modulation = modulationFromName(o.modulation.toStdString());
        choice.levels = o.levels;
        const ResolvedSymbolSettings resolved = resolveSymbolSettings(band, choice);
        if (resolved.rateMissing) {
            std::cerr << "No symbol rate found: give one with --symbol-rate" << std::endl;
            return 1;
        }
        if (resolved.modulationMissing) {
            std::cerr << "No modulation found: give one with --modulation" << std::endl;
            return 1;
        }
        const RecoveredSymbols symbols = recoverSymbols(band, *resolved.settings, control);
        std::cout << symbolsJson(symbols) << std::endl;
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return 0;
}
