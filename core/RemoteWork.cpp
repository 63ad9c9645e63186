#include "RemoteWork.h"

#include <utility>
#include <vector>

namespace wl {

namespace {

int g_depth = 0;
ULONGLONG g_started = 0;  // when the outermost scope began

std::vector<std::pair<HWND, UINT>>& Deferred()
{
    static std::vector<std::pair<HWND, UINT>> deferred;
    return deferred;
}

}  // namespace

RemoteWork::RemoteWork() noexcept
{
    if (g_depth++ == 0) g_started = ::GetTickCount64();
}

RemoteWork::~RemoteWork()
{
    if (--g_depth > 0) return;
    auto pending = std::move(Deferred());
    Deferred().clear();
    for (auto [window, message] : pending)
        if (::IsWindow(window)) ::PostMessageW(window, message, 0, 0);
}

bool RemoteWork::InProgress() noexcept { return g_depth > 0; }

ULONGLONG RemoteWork::ElapsedMs() noexcept { return g_depth > 0 ? ::GetTickCount64() - g_started : 0; }

void RemoteWork::Defer(HWND window, UINT message) noexcept
{
    try {
        for (auto& d : Deferred())
            if (d.first == window && d.second == message) return;
        Deferred().emplace_back(window, message);
    } catch (...) {
        // Out of memory: the event waits for the next one.
    }
}

}  // namespace wl
