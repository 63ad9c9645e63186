// Windows whose own handlers may lead to their destruction: the alert window
// raises an event from inside a button handler, and its owner unloads it
// right there. The window must outlive the handler. No Windows functions here.
#pragma once

#include <memory>

namespace wl {

// Counts the handlers of an object that are running now.
class HandlerCounted {
public:
    HandlerCounted() = default;
    HandlerCounted(const HandlerCounted&) = delete;
    HandlerCounted& operator=(const HandlerCounted&) = delete;

    int HandlersRunning() const noexcept { return m_depth; }

private:
    friend class HandlerScope;
    int m_depth = 0;
};

// Held for the length of a handler: counts it, and holds a strong reference
// (when the object has one to give) that is dropped only after the count,
// so a destruction the handler caused happens once the handler is done.
class HandlerScope {
public:
    HandlerScope(HandlerCounted& object, std::shared_ptr<void> keepAlive) noexcept;
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;
    ~HandlerScope();

private:
    std::shared_ptr<void> m_keep;  // declared first: released last
    HandlerCounted& m_object;
};

}  // namespace wl
