// The session decides what is computed from the settings a kind last computed
// for and the next ones; what needs no computing is presented at once; a
// cancel or a failure leaves the views on the settings shown; and the history
// of places goes back and forward as a browser does.

#include "session/ViewSession.h"
#include "tests/support/EventWait.h"

#include "io/Recording.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace {

// A kind that counts its computations and presentations; it depends on the
// range only, and is shown while `display.showPower` says so.
class CountingKind : public QObject, public ViewKind
{
public:
    bool active(const ViewSettings& settings) const override { return !switchable || settings.display.showPower; }
    bool outdated(const ViewSettings& computed, const ViewSettings& next) const override
    {
        return !(computed.range == next.range);
    }
    std::unique_ptr<ViewComputation> computation(const ViewSettings& settings, const RecordingFacts&) override
    {
        ++made;
        const double start = settings.range.start;
        return presentedBy<Pass>(this, std::make_unique<Pass>(), [this, start](Pass&) {
            if (failOnPresent)
                throw std::runtime_error("no room for the picture");
            ++computed;
            shownStart = start;
        });
    }
    void present(const Presentation& presentation) override
    {
        ++presentations;
        lastColourMap = presentation.settings.spectrogram.colorMap;
        presentedShown = presentation.settings.display.showPower;
    }

    struct Pass : public RangeComputation
    {
        BlockConsumer& consumer() override { return idle; }
        bool finishPass() override { return true; }
        IdleConsumer idle;
    };

    bool switchable = false;
    bool failOnPresent = false;
    int made = 0;
    int computed = 0;
    int presentations = 0;
    int lastColourMap = -1;
    bool presentedShown = false;
    double shownStart = -1;
};

void waitUntilIdle(const ViewSession& session)
{
    waitFor([&session] { return !session.busy(); });
}

std::shared_ptr<Recording> tenSeconds()
{
    auto recording = std::make_shared<Recording>();
    recording->assign(1000, std::vector<double>(10000, 0.5), std::vector<double>(10000, -0.5));
    return recording;
}

struct Fixture
{
    Fixture()
    {
        session.addView(&always);
        switchable.switchable = true;
        session.addView(&switchable);
        QObject::connect(&session, &ViewSession::failed, &session, [this](const QString& m) { failures << m; });
        session.load(tenSeconds(), "ten");
        waitUntilIdle(session);
    }
    Recording recording;
    CountingKind always;
    CountingKind switchable;
    ViewSession session{&recording};
    QStringList failures;
};

} // namespace

TEST(ViewSession, ComputesWhatTheChangeMakesOutdated)
{
    Fixture f;
    ASSERT_TRUE(f.recording.isLoaded());
    EXPECT_EQ(f.session.shown().range, (TimeRange{0, 10}));
    EXPECT_EQ(f.session.shown().band, (ValueRange{-500, 500}));
    EXPECT_EQ(f.always.computed, 1);
    EXPECT_EQ(f.switchable.computed, 1);

    struct Row
    {
        const char* what;
        void (*edit)(ViewSettings&);
        bool computes;
    } rows[] = {
        {"colour map", [](ViewSettings& s) { s.spectrogram.colorMap = 2; }, false},
        {"band", [](ViewSettings& s) { s.band = {-100, 100}; }, false},
        {"range", [](ViewSettings& s) { s.range = {1, 2}; }, true},
        {"range and band", [](ViewSettings& s) { s.range = {2, 3}, s.band = {-50, 50}; }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const int before = f.always.computed;
        ViewSettings next = f.session.requested();
        row.edit(next);
        f.session.apply(next);
        // What needs no computing is shown before apply returns.
        EXPECT_EQ(f.session.busy(), row.computes);
        waitUntilIdle(f.session);
        EXPECT_EQ(f.always.computed - before, row.computes ? 1 : 0);
        EXPECT_EQ(f.always.lastColourMap, f.session.shown().spectrogram.colorMap);
        EXPECT_TRUE(f.session.shown().range == next.range && f.session.shown().band == next.band);
    }
    // An Apply button computes what it covers even when nothing of it changed.
    const int before = f.always.computed;
    f.session.apply(f.session.requested(), {&f.always});
    waitUntilIdle(f.session);
    EXPECT_EQ(f.always.computed, before + 1);
    EXPECT_TRUE(f.failures.isEmpty());
}

TEST(ViewSession, HiddenViewsWaitUntilShown)
{
    Fixture f;
    ViewSettings hidden = f.session.requested();
    hidden.display.showPower = false;
    f.session.apply(hidden);
    ViewSettings moved = hidden;
    moved.range = {4, 5};
    f.session.apply(moved);
    waitUntilIdle(f.session);
    EXPECT_EQ(f.switchable.computed, 1);
    EXPECT_EQ(f.always.shownStart, 4);
    ViewSettings shown = moved;
    shown.display.showPower = true;
    f.session.apply(shown);
    waitUntilIdle(f.session);
    EXPECT_EQ(f.switchable.computed, 2);
    EXPECT_EQ(f.switchable.shownStart, 4);
}

TEST(ViewSession, CancelAndFailureKeepWhatIsShown)
{
    Fixture f;
    ViewSettings next = f.session.requested();
    next.range = {3, 4};
    f.session.apply(next);
    EXPECT_EQ(f.session.requested().range, next.range);
    f.session.cancel();
    waitUntilIdle(f.session);
    EXPECT_TRUE(f.session.wasCancelled());
    EXPECT_EQ(f.session.shown().range, (TimeRange{0, 10}));
    EXPECT_EQ(f.session.requested().range, (TimeRange{0, 10}));
    EXPECT_EQ(f.always.shownStart, 0);

    // A view shown while the job that computes it is cancelled is hidden again.
    next = f.session.requested();
    next.display.showPower = false;
    f.session.apply(next);
    waitUntilIdle(f.session);
    next.range = {3, 4};
    next.display.showPower = true;
    f.session.apply(next);
    EXPECT_TRUE(f.switchable.presentedShown);
    f.session.cancel();
    waitUntilIdle(f.session);
    EXPECT_FALSE(f.session.shown().display.showPower);
    EXPECT_FALSE(f.switchable.presentedShown);
    next.display.showPower = false;

    // A presentation that throws is reported; the session goes on.
    f.always.failOnPresent = true;
    f.session.apply(next);
    waitUntilIdle(f.session);
    ASSERT_FALSE(f.failures.isEmpty());
    EXPECT_EQ(f.failures.front(), "no room for the picture");
    f.always.failOnPresent = false;
    next.range = {5, 6};
    f.session.apply(next);
    waitUntilIdle(f.session);
    EXPECT_EQ(f.always.shownStart, 5);
    EXPECT_FALSE(f.session.wasCancelled());
}

TEST(ViewSession, RefusesSettingsTheRecordingCannotTake)
{
    Fixture f;
    struct Row
    {
        void (*edit)(ViewSettings&);
        const char* message;
    } rows[] = {
        {[](ViewSettings& s) { s.range = {5, 11}; }, "The time range 5 to 11 s lies outside the recording (0 to 10 s)"},
        {[](ViewSettings& s) { s.band = {-600, 0}; },
         "The band -600 to 0 Hz lies outside the recording's (-500 to 500 Hz)"},
        {[](ViewSettings& s) { s.spectrogram.exponent = 16; }, "Invalid FFT size exponent: input shall be from 1 to 15"},
        {[](ViewSettings& s) { s.power.window = 0; },
         "Invalid power settings: the window, full scale and impedance must be > 0"},
    };
    for (const Row& row : rows) {
        f.failures.clear();
        ViewSettings next = f.session.requested();
        row.edit(next);
        f.session.apply(next);
        ASSERT_EQ(f.failures.size(), 1);
        EXPECT_EQ(f.failures.front(), row.message);
        EXPECT_EQ(f.session.shown().range, (TimeRange{0, 10}));
    }
}

TEST(ViewHistory, GoesBackAndForwardLikeABrowser)
{
    auto place = [](double start) { return ViewPlace{{start, start + 1}, {-1, 1}}; };
    auto at = [](const std::optional<ViewPlace>& p) { return p ? p->range.start : -1.0; };
    ViewHistory history;
    EXPECT_EQ(at(history.back()), -1);
    history.reset(place(1));
    history.visit(place(2));
    history.visit(place(3));
    history.visit(place(3)); // the same place again is no new entry
    EXPECT_EQ(at(history.back()), 2);
    EXPECT_EQ(at(history.back()), 1);
    EXPECT_EQ(at(history.back()), -1);
    EXPECT_EQ(at(history.forward()), 2);
    history.visit(place(4)); // drops 3
    EXPECT_EQ(at(history.forward()), -1);
    EXPECT_EQ(at(history.back()), 2);
    EXPECT_EQ(at(history.forward()), 4);
}
