// A window that owns a tray icon and its popup menu: the main window and the
// alert windows. What they do alike lives here: the tray box that takes the
// icons' mouse messages, the busy gate, the popup, the routing of commands,
// and the close box that only hides.
#pragma once

#include "core/TrayIcons.h"
#include "core/Window.h"

#include <string>

namespace wl {

// The window class of the tray boxes, the top-level windows the icons belong to.
inline constexpr wchar_t kTrayBoxClass[] = L"WendlockTrayBox";

}  // namespace wl

class TrayWindow : public DialogWindow {
public:
    ~TrayWindow() override;

    // Runs Form_QueryUnload; unless cancelled, destroys the window. Returns
    // whether it unloaded.
    virtual bool Unload(UnloadMode unloadMode) = 0;

    // The icon's mouse message (the lParam of the tray callback). One is
    // handled at a time: a message that arrives while one is handled (its
    // popup, a dialog or a message box is up) is dropped, as are those the
    // window holds back (TrayClicksHeld).
    void picTrayBox_MouseMove(long trayMessage);

protected:
    // Makes the tray box: a light hidden window that the window's icons
    // belong to and whose callback takes their mouse messages. It is made
    // before the dialog (an icon can show while the dialog's controls are
    // still being made) and goes when the dialog is destroyed.
    void LoadTrayBox();
    TrayIcon TrayBox(UINT iconId) const noexcept { return {m_picTrayBox.get(), iconId}; }

    // Loads the tray popup from a menu resource (its first submenu).
    void LoadTrayMenu(UINT menuId);
    HMENU TrayPopup() const noexcept { return m_tmnuFile; }
    // Opens the popup at the pointer and routes the chosen command to OnCommand.
    void ShowTrayPopup(UINT defaultCommand);

    // A message box with the program's title, over the window when it shows,
    // else on its own; the busy guards of the tray stay set meanwhile.
    int MessageBox(const std::wstring& text, UINT flags) const;

    // The window's part of the icon's mouse messages, behind the busy gate.
    virtual void OnTrayMessage(long trayMessage) = 0;
    virtual bool TrayClicksHeld() const noexcept { return false; }
    // A button, a menu item of the window or of its popup.
    virtual void OnCommand(int id, int notification) = 0;
    // The messages this base does not handle.
    virtual bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;

private:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) final;
    static LRESULT CALLBACK TrayBoxThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void DestroyTrayBox() noexcept;

    friend struct Inspector;  // the tests' one view inside the program

    wl::UniqueWindow m_picTrayBox;
    bool m_blnInTrayEvent = false;
    wl::UniqueMenu m_menu;  // the menu resource; m_tmnuFile is its popup
    HMENU m_tmnuFile = nullptr;
};
