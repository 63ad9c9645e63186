#include "TrayWindow.h"

#include "core/AppMessages.h"
#include "core/RemoteWork.h"

void TrayWindow::picTrayBox_MouseMove(long trayMessage)
{
    if (m_blnInTrayEvent || TrayClicksHeld()) return;
    FlagScope busy(m_blnInTrayEvent);
    OnTrayMessage(trayMessage);
}

void TrayWindow::LoadTrayMenu(UINT menuId)
{
    m_menu.reset(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId)));
    m_tmnuFile = ::GetSubMenu(m_menu.get(), 0);
}

void TrayWindow::ShowTrayPopup(UINT defaultCommand)
{
    if (UINT chosen = TrackTrayPopup(Hwnd(), m_tmnuFile, defaultCommand)) OnCommand(static_cast<int>(chosen), 0);
}

bool TrayWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case wl::kTrayCallback:
        // A click while a call into another process waits is dropped, as while busy.
        if (!wl::RemoteWork::InProgress()) picTrayBox_MouseMove(static_cast<long>(LOWORD(lParam)));
        return true;
    case WM_COMMAND:
        // A button pressed while such a call waits is dropped too: it would
        // start its work inside the call.
        if (!wl::RemoteWork::InProgress()) OnCommand(LOWORD(wParam), HIWORD(wParam));
        return true;
    case WM_CLOSE:
        (void)Unload(UnloadMode::FormControlMenu);
        return true;
    case WM_DPICHANGED:
        // The scale changed: the tray images take the new size; the dialog's
        // own handling follows.
        RefreshTrayImages();
        return OnWindowMessage(message, wParam, lParam, result);
    default:
        return OnWindowMessage(message, wParam, lParam, result);
    }
}
