#include "core/Lifetime.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace wl;

// A window-like object whose handler lets its owner drop it, as the alert
// window does when its list becomes empty. Built with AddressSanitizer, a
// destruction under the handler's feet is a reported use after free.
namespace {

class Droppable : public HandlerCounted, public std::enable_shared_from_this<Droppable> {
public:
    std::function<void()> Emptied;
    std::vector<int> items{1, 2, 3};
    bool* destroyed = nullptr;
    ~Droppable()
    {
        if (destroyed) *destroyed = true;
    }

    // What the handler found once the owner's event had returned.
    struct AfterEvent {
        bool ran = false;
        bool alive = false;     // not destroyed yet
        int handlersRunning = 0;
    };
    AfterEvent* afterEvent = nullptr;

    void ClearAll()
    {
        HandlerScope scope(*this, weak_from_this().lock());
        items.clear();
        if (Emptied) Emptied();  // the owner drops its reference here
        // Told before any member is touched: without the scope's reference the
        // object is gone by now.
        if (afterEvent) *afterEvent = {true, !(destroyed && *destroyed), HandlersRunning()};
        items.push_back(42);     // and the handler still finishes its work
    }
};

}  // namespace

TEST(HandlerLifetime, OwnerMayDropTheWindowInsideItsHandler)
{
    bool destroyed = false;
    auto owner = std::make_shared<Droppable>();
    owner->destroyed = &destroyed;
    std::weak_ptr<Droppable> watch = owner;
    Droppable* raw = owner.get();
    owner->Emptied = [&] { owner.reset(); };
    Droppable::AfterEvent after;
    owner->afterEvent = &after;

    raw->ClearAll();

    ASSERT_TRUE(after.ran);
    EXPECT_TRUE(after.alive);         // still there for the rest of the handler
    EXPECT_EQ(after.handlersRunning, 1);
    EXPECT_TRUE(destroyed);           // gone once the handler returned
    EXPECT_TRUE(watch.expired());
}

TEST(HandlerLifetime, NestedHandlersKeepTheWindowUntilTheOuterOneEnds)
{
    bool destroyed = false;
    auto owner = std::make_shared<Droppable>();
    owner->destroyed = &destroyed;
    Droppable* raw = owner.get();
    bool innerDone = false;
    raw->Emptied = [&] {
        HandlerScope inner(*raw, raw->weak_from_this().lock());
        owner.reset();
        EXPECT_FALSE(destroyed);
        innerDone = true;
    };
    raw->ClearAll();
    EXPECT_TRUE(innerDone);
    EXPECT_TRUE(destroyed);
}
