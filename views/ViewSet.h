#pragma once
// The four views as one session shows them: added after the spectrum model
// (whose spectrum the spectrum view draws) in the order they are presented,
// and the settings the session starts with, taken from the views' own.

#include "session/ViewSettings.h"

class AmplitudeView;
class PowerView;
class SpectrogramView;
class SpectrumModel;
class SpectrumView;
class TraceView;
class ViewSession;

struct ViewSet
{
    SpectrogramView* spectrogram;
    PowerView* power;
    AmplitudeView* amplitude;
    SpectrumView* spectrum;
    // The band's trace, where there is one.
    TraceView* trace = nullptr;
};

// Adds the model and the views to the session.
void addViews(ViewSession& session, SpectrumModel& model, const ViewSet& views);
// The views' FFT size, overlap, range, colour map and power settings, the
// amplitude view hidden.
ViewSettings startingSettings(const ViewSet& views);
