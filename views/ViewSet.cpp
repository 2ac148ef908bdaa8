// The views added to a session, and the settings they start with.

#include "views/ViewSet.h"

#include "session/SpectrumModel.h"
#include "session/ViewSession.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/TraceView.h"

#include <cmath>

void addViews(ViewSession& session, SpectrumModel& model, const ViewSet& views)
{
    // The model first, so that the spectrum view draws what it just computed.
    session.addView(&model);
    session.addView(views.spectrogram);
    session.addView(views.power);
    session.addView(views.amplitude);
    if (views.trace)
        session.addView(views.trace);
    session.addView(views.spectrum);
    views.spectrum->showModel(&model);
}

ViewSettings startingSettings(const ViewSet& views)
{
    ViewSettings settings;
    settings.spectrogram.exponent = static_cast<int>(std::log2(double(views.spectrogram->fftSize())));
    settings.spectrogram.overlap = views.spectrogram->overlap();
    settings.spectrogram.range = views.spectrogram->range();
    settings.spectrogram.colorMap = static_cast<int>(views.spectrogram->colorMap());
    settings.power = views.power->settings();
    settings.display.showAmplitude = false;
    return settings;
}
