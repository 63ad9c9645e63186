#include "OutlookWork.h"

#include <utility>
#include <vector>

namespace {

int g_depth = 0;

std::vector<std::pair<HWND, UINT>>& Deferred()
{
    static std::vector<std::pair<HWND, UINT>> deferred;
    return deferred;
}

}  // namespace

OutlookWork::OutlookWork() noexcept { ++g_depth; }

OutlookWork::~OutlookWork()
{
    if (--g_depth > 0) return;
    auto pending = std::move(Deferred());
    Deferred().clear();
    for (auto [window, message] : pending)
        if (::IsWindow(window)) ::PostMessageW(window, message, 0, 0);
}

bool OutlookWork::InProgress() noexcept { return g_depth > 0; }

void OutlookWork::Defer(HWND window, UINT message) noexcept
{
    try {
        for (auto& d : Deferred())
            if (d.first == window && d.second == message) return;
        Deferred().emplace_back(window, message);
    } catch (...) {
        // Out of memory: the event waits for the next one.
    }
}
