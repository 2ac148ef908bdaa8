#pragma once
// The few things the mouse's navigation asks of whoever shows the views: what is
// shown, and requests for another time range or band, which go through the same
// fields, checks and messages as the panel's own Apply buttons.

#include "panel/RangeNavigation.h"
#include "panel/ViewHistory.h"

#include <QString>

class ViewRequests
{
public:
    virtual ~ViewRequests() = default;
    // The time range and band the views show, as applied (values and field texts).
    virtual ViewState shownView() const = 0;
    // Lowest and highest band edge the fields accept, Hz.
    virtual ValueRange bandLimits() const = 0;
    // Whether a request is being computed or about to be.
    virtual bool busy() const = 0;
    // Sets the time fields, then applies the time range.
    virtual void applyTimeRangeTexts(const QString& start, const QString& stop) = 0;
    // Sets the band fields, then applies the spectrum settings.
    virtual void applyBandTexts(const QString& low, const QString& high) = 0;
    // The view before or after the current one in the history; the whole recording.
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual void showWholeRecording() = 0;
    // Equal parts of the span between the two cursors.
    virtual int cursorDivisions() const = 0;
    // Hertz added to baseband frequencies where they are shown (a centre frequency, or 0).
    virtual double frequencyOffset() const = 0;
    // The same for the capture holding time `seconds` of the recording, which
    // may have another centre than the view's first one.
    virtual double frequencyOffsetAt(double seconds) const
    {
        (void)seconds;
        return frequencyOffset();
    }
    // FFT size of the frequency views.
    virtual uint32_t fftSize() const = 0;
};
