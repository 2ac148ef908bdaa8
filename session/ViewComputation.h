#pragma once
// A view's recompute split in two: a range computation, which streams over a
// range of a recording on any thread, and the presentation of its result, on
// the GUI thread. The views' own recomputes and the session's background work
// run the same computations.

#include "plotdata/RangePass.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class Recording;

class ViewComputation : public RangeComputation
{
public:
    // GUI thread only, once all passes are done: hands the result to its view
    // (nothing when the view is gone by then).
    virtual void present() = 0;
};

// A computation whose result `show` hands to `view`, unless the view is gone.
template <typename Pass>
class PresentedPass final : public ViewComputation
{
public:
    PresentedPass(QObject* view, std::unique_ptr<Pass> pass, std::function<void(Pass&)> show)
        : view(view), pass(std::move(pass)), show(std::move(show))
    {
    }
    BlockConsumer& consumer() override { return pass->consumer(); }
    bool finishPass() override { return pass->finishPass(); }
    bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control) override
    {
        return pass->computeFromSummaries(source, offset, control);
    }
    StreamRange readRange(const StreamRange& range) const override { return pass->readRange(range); }
    bool sketchFromSummaries(const DcOffset& offset) override { return pass->sketchFromSummaries(offset); }
    bool previewFromSamples(const SampleSource& source, const DcOffset& offset, WorkControl& control) override
    {
        return pass->previewFromSamples(source, offset, control);
    }
    void present() override
    {
        if (view)
            show(*pass);
    }

private:
    QPointer<QObject> view;
    std::unique_ptr<Pass> pass;
    std::function<void(Pass&)> show;
};

template <typename Pass>
std::unique_ptr<ViewComputation> presentedBy(QObject* view, std::unique_ptr<Pass> pass,
                                             std::function<void(Pass&)> show)
{
    return std::make_unique<PresentedPass<Pass>>(view, std::move(pass), std::move(show));
}

// Samples of the recording; 0 before a load.
uint64_t sampleCountOf(const Recording& recording);

// What a view's own recompute does: the computations over [startTime, stopTime]
// of the recording (none loaded reads as an empty one), its DC offset over that
// range removed when asked, on the calling thread (and the pool's workers),
// then presented.
void computeAndPresent(const Recording& recording, double startTime, double stopTime,
                       bool removeDc, const std::vector<ViewComputation*>& computations);
// The same for one computation.
void computeAndPresent(const Recording& recording, double startTime, double stopTime,
                       bool removeDc, std::unique_ptr<ViewComputation> computation);
