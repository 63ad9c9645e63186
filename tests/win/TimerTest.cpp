// The timer service: intervals, and ticks routed to the window that owns them.
#include "TestSupport.h"

#include "core/basTimer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// A window's face to the timer service, recording what it was asked.
class TimerWindow : public IFormWithTimer {
public:
    explicit TimerWindow(std::vector<std::int32_t> ids) : m_ids(std::move(ids)) {}
    std::int16_t TimersCount() override { return static_cast<std::int16_t>(m_ids.size()); }
    std::int32_t TimerID(std::int16_t index) override
    {
        asked.push_back(index);
        if (failing) throw std::runtime_error("cannot answer");
        return m_ids.at(static_cast<size_t>(index) - 1);
    }
    void TimerFired(std::int32_t id) override { fired.push_back(id); }

    std::vector<std::int16_t> asked;
    std::vector<std::int32_t> fired;
    bool failing = false;

private:
    std::vector<std::int32_t> m_ids;
};

// Registers windows for one test and removes them afterwards.
struct Registered {
    std::vector<std::shared_ptr<TimerWindow>> windows;
    std::shared_ptr<TimerWindow> Add(std::vector<std::int32_t> ids)
    {
        auto w = std::make_shared<TimerWindow>(std::move(ids));
        RegisterTimerOwner(w);
        windows.push_back(w);
        return w;
    }
    ~Registered()
    {
        for (auto& w : windows) UnregisterTimerOwner(w.get());
    }
};

}  // namespace

TEST(TimerInterval, MinutesBecomeMillisecondsWithinThirtyTwoBits)
{
    EXPECT_EQ(TimerIntervalMs(30), 1'800'000);
    EXPECT_EQ(TimerIntervalMs(35791), 2'147'460'000);
    EXPECT_EQ(TimerIntervalMs(35792), std::nullopt);
    EXPECT_EQ(TimerIntervalMs(2'147'483), std::nullopt);  // the first product overflows
}

TEST(StartTimer, OverflowIsTheCallersErrorAndCreatesNothing)
{
    EXPECT_THROW(StartTimer(35792), std::overflow_error);
    std::int32_t id = StartTimer(35791);
    EXPECT_NE(id, 0);
    StopTimer(id);
}

TEST(TimerProc, ATickReachesOnlyTheOwningWindowOnce)
{
    Registered r;
    auto first = r.Add({11});
    auto owner = r.Add({22});
    auto later = r.Add({22});  // claims the same id, loaded later
    TimerProc(nullptr, WM_TIMER, 22, 0);
    EXPECT_TRUE(first->fired.empty());
    EXPECT_EQ(owner->fired, std::vector<std::int32_t>{22});
    EXPECT_TRUE(later->fired.empty());
    EXPECT_TRUE(later->asked.empty());  // the walk ended at the owner
}

TEST(TimerProc, ATickNobodyOwnsDoesNothing)
{
    Registered r;
    auto a = r.Add({1});
    TimerProc(nullptr, WM_TIMER, 99, 0);
    EXPECT_TRUE(a->fired.empty());
    EXPECT_EQ(a->asked, std::vector<std::int16_t>{1});  // one timer: index 1 only
}

TEST(TimerProc, AFailingWindowIsPassedOver)
{
    Registered r;
    auto broken = r.Add({5});
    broken->failing = true;
    auto owner = r.Add({5});
    TimerProc(nullptr, WM_TIMER, 5, 0);
    EXPECT_EQ(owner->fired, std::vector<std::int32_t>{5});
}

TEST(TimerProc, UnloadedWindowsAreForgotten)
{
    auto gone = std::make_shared<TimerWindow>(std::vector<std::int32_t>{7});
    RegisterTimerOwner(gone);
    std::weak_ptr<TimerWindow> watch = gone;
    gone.reset();  // the registry holds no ownership
    EXPECT_TRUE(watch.expired());
    // A window loaded later with the same id gets the tick: the one that
    // went is no longer asked before it.
    Registered r;
    auto later = r.Add({7});
    TimerProc(nullptr, WM_TIMER, 7, 0);
    EXPECT_EQ(later->fired, std::vector<std::int32_t>{7});
}

TEST(TimerProc, RealTicksArriveThroughTheMessageLoop)
{
    Registered r;
    // A thread timer of the same kind StartTimer makes, with a short interval.
    auto id = static_cast<std::int32_t>(::SetTimer(nullptr, 0, 20, &TimerProc));
    ASSERT_NE(id, 0);
    auto owner = r.Add({id});
    EXPECT_TRUE(test::PumpUntil([&] { return owner->fired.size() >= 2; }, std::chrono::seconds(5)));
    StopTimer(id);
    EXPECT_EQ(owner->fired.front(), id);
}
