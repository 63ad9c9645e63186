#include "Ui.h"

#include "Server.h"
#include "Text.h"

namespace standin::ui {

namespace {

const wchar_t kExplorerClass[] = L"OutlookStandInExplorer";
const wchar_t kItemClass[] = L"OutlookStandInItem";
constexpr int kChildId = 100;

ExplorerData* ExplorerOf(HWND window)
{
    for (auto& e : TheServer().model.Explorers())
        if (e->window == window) return e.get();
    return nullptr;
}

ItemData* ItemOf(HWND window)
{
    for (auto& f : TheServer().model.Folders())
        for (auto& item : f->items)
            if (item->window == window) return item.get();
    return nullptr;
}

void FitChild(HWND window)
{
    RECT r{};
    ::GetClientRect(window, &r);
    if (HWND child = ::GetDlgItem(window, kChildId)) ::MoveWindow(child, 0, 0, r.right, r.bottom, TRUE);
}

LRESULT CALLBACK ExplorerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        Server& s = TheServer();
        switch (message) {
        case WM_SIZE: FitChild(window); return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE)
                for (auto& e : s.model.Explorers())
                    if (e->window == window && !e->closed) s.model.BringToFront(e);
            break;
        case WM_CLOSE:
            // The user closed it: the explorer is closed, as in Outlook.
            if (ExplorerData* e = ExplorerOf(window)) {
                e->closed = true;
                e->window = nullptr;
                s.journal.Write(L"Window Explorer:" + std::to_wstring(e->id) + L" closed");
            }
            ::DestroyWindow(window);
            if (s.options.quitOnLastClose && s.model.OpenExplorers().empty()) s.QuitLikeOutlook();
            return 0;
        }
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        switch (message) {
        case WM_SIZE: FitChild(window); return 0;
        case WM_DESTROY:
            if (ItemData* item = ItemOf(window)) item->window = nullptr;
            break;
        }
    } catch (...) {
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClasses()
{
    static bool done = false;
    if (done) return true;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ExplorerProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kExplorerClass;
    if (!::RegisterClassExW(&wc)) return false;
    wc.lpfnWndProc = ItemProc;
    wc.lpszClassName = kItemClass;
    if (!::RegisterClassExW(&wc)) return false;
    done = true;
    return true;
}

HWND CreateFrame(const wchar_t* cls, const std::wstring& caption, const wchar_t* childClass, DWORD childStyle,
                 int x, int y, int width, int height)
{
    if (!RegisterClasses()) return nullptr;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND frame = ::CreateWindowExW(0, cls, caption.c_str(), WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr, instance, nullptr);
    if (!frame) return nullptr;  // no display: headless runs go on without windows
    HWND child = ::CreateWindowExW(0, childClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | childStyle, 0, 0, 0, 0,
                                   frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)), instance, nullptr);
    if (child)
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    FitChild(frame);
    return frame;
}

}  // namespace

std::wstring ExplorerCaption(const ExplorerData& explorer)
{
    return explorer.folder->name + L" - Outlook (stand-in)";
}

void FillExplorer(const ExplorerData& explorer)
{
    if (!explorer.window) return;
    ::SetWindowTextW(explorer.window, ExplorerCaption(explorer).c_str());
    HWND list = ::GetDlgItem(explorer.window, kChildId);
    if (!list) return;
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (auto& item : explorer.folder->items) {
        std::wstring line = item->subject;
        if (explorer.folder->kind == ItemKind::Task) {
            line += L"    (due " + ShortDate(item->due) + L")";
            if (item->complete) line += L"  [done]";
        }
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void ShowExplorer(ExplorerData& explorer)
{
    if (!explorer.window || !::IsWindow(explorer.window))
    {
        // Cascaded, so several explorers and items can be seen at once in the demo.
        int step = 28 * ((explorer.id - 1) % 8);
        explorer.window = CreateFrame(kExplorerClass, ExplorerCaption(explorer), L"LISTBOX",
                                      LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 20 + step, 20 + step, 560, 400);
    }
    if (!explorer.window) return;
    FillExplorer(explorer);
    ::ShowWindow(explorer.window, SW_SHOW);
}

void Activate(HWND window)
{
    if (!window) return;
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    ::BringWindowToTop(window);
}

void ShowItem(ItemData& item)
{
    std::wstring text = L"Subject: " + item.subject + L"\r\nFolder: " + item.folder->name +
                        L"\r\nMessage class: " + KindClassName(item.folder->kind) + L"\r\nEntryID: " + item.entryId;
    if (item.folder->kind == ItemKind::Task) {
        text += L"\r\nDue: " + ShortDate(item.due);
        text += std::wstring(L"\r\nComplete: ") + (item.complete ? L"yes" : L"no");
    }
    text += L"\r\nReminder: " + ShortDate(item.reminder);
    if (!item.window || !::IsWindow(item.window))
    {
        static int opened = 0;
        int step = 28 * (opened++ % 8);
        item.window = CreateFrame(kItemClass, item.subject, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                                  520 + step / 2, 300 + step, 460, 240);
    }
    if (!item.window) return;
    ::SetWindowTextW(item.window, item.subject.c_str());
    ::SetDlgItemTextW(item.window, kChildId, text.c_str());
    // Shown without waiting on it: Display() returns at once.
    ::ShowWindow(item.window, SW_SHOW);
    ::SetForegroundWindow(item.window);
}

void Destroy(HWND& window)
{
    if (window) {
        HWND w = std::exchange(window, nullptr);
        ::DestroyWindow(w);
    }
}

}  // namespace standin::ui
