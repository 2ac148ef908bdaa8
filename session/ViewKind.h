#pragma once
// A kind of view as the session runs it: what it computes for given settings
// and how it presents the result and the settings that need no computing. The
// session iterates over the kinds it is given and names none of them.

#include "session/ViewComputation.h"
#include "session/ViewSettings.h"

#include <cstdint>
#include <memory>

class SampleSource;
class SummarySet;
struct SummaryNeeds;
class ViewKind;

// What a computation is made for: the recording's rate and length, the
// summaries kept of it (null for a short one) and its samples (for a sketch
// that reads a few).
struct RecordingFacts
{
    double sampleRate = 0;
    uint64_t sampleCount = 0;
    std::shared_ptr<SummarySet> summaries;
    std::shared_ptr<const SampleSource> samples;
};

// The settings as a kind presents them: with the hertz the frequency axes add
// (a centre frequency, or 0), and whether the kind's own computation for them
// (or a preview of it) has just been presented.
struct Presentation
{
    const ViewSettings& settings;
    double frequencyOffset = 0;
    bool computed = false;
    // Whether that computation is a preview, the exact one still running.
    bool preview = false;
};

// What a kind may ask of the session that runs it.
class ViewHost
{
public:
    virtual ~ViewHost() = default;
    // The kind's plot changed width under a result computed for another.
    virtual void viewWidthChanged(ViewKind* kind) = 0;
    // The kind's widget was shown or hidden by other means than the settings.
    virtual void viewVisibilityChanged(ViewKind* kind, bool visible) = 0;
    // The kind is being destroyed: the host forgets it.
    virtual void viewGone(ViewKind* kind) = 0;
};

class ViewKind
{
public:
    virtual ~ViewKind()
    {
        if (host)
            host->viewGone(this);
    }

    // Whether it is computed under these settings; a view the user has hidden
    // is computed when it shows again.
    virtual bool active(const ViewSettings& settings) const
    {
        (void)settings;
        return true;
    }
    // Shows or hides the kind in `settings` (a view shown by its own means);
    // nothing for a kind that is always shown.
    virtual void setShown(ViewSettings& settings, bool shown) const
    {
        (void)settings;
        (void)shown;
    }
    // Whether a result computed for `computed` is out of date for `next`.
    virtual bool outdated(const ViewSettings& computed, const ViewSettings& next) const = 0;
    // The computation for these settings over the recording, made on the GUI
    // thread, run on any, presented on the GUI thread; nothing for a kind that
    // only presents what others compute.
    virtual std::unique_ptr<ViewComputation> computation(const ViewSettings& settings,
                                                         const RecordingFacts& recording) = 0;
    // Shows what needs no computing (a band cut, a colour scale, an axis
    // offset), after every change of settings and every new result.
    virtual void present(const Presentation& presentation) { (void)presentation; }
    // The summaries its computations read, for the background builds.
    virtual void addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const
    {
        (void)settings;
        (void)needs;
    }
    // Whether what it shows was computed for another width than it has now.
    virtual bool needsNewWidth() const { return false; }
    // Whether it has the size it will be shown at (a window not shown yet has
    // not): a load asked for before waits for the window, once.
    virtual bool laidOut() const { return true; }

    // Set by the session the kind is added to.
    void attach(ViewHost* session) { host = session; }

protected:
    // Tells the session that the kind's plot changed width; false without one
    // (a view used on its own computes again itself).
    bool askForNewWidth()
    {
        if (host)
            host->viewWidthChanged(this);
        return host != nullptr;
    }

    // Tells the session that the kind's widget was shown or hidden.
    void tellVisibility(bool visible)
    {
        if (host)
            host->viewVisibilityChanged(this, visible);
    }

private:
    ViewHost* host = nullptr;
};
