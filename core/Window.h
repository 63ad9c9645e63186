// The base of the program's windows: a dialog created from a template, one
// procedure thunk that routes to the derived window, and the rule that no
// exception leaves a window procedure.
#pragma once

#include "core/Lifetime.h"
#include "core/win32.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// How an unload was asked for.
enum class UnloadMode : std::int16_t {
    FormControlMenu = 0,  // the close box, the system menu or Alt+F4: only hides
    FormCode = 1,         // the program's own code
    AppWindows = 2,       // Windows ends the session
};

class DialogWindow : public wl::HandlerCounted {
public:
    DialogWindow() = default;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
    virtual ~DialogWindow();

    HWND Hwnd() const noexcept { return m_hwnd; }
    bool Loaded() const noexcept { return m_hwnd != nullptr; }
    HWND Control(int id) const noexcept { return ::GetDlgItem(m_hwnd, id); }

    // Destroys the window (not this object).
    void DestroyHwnd() noexcept;

protected:
    // Creates the window hidden, from a dialog template of the resources.
    bool CreateFromTemplate(UINT templateId, HWND parent = nullptr);

    // One call per message. Return true when handled, and set result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;

    // A strong reference held while a handler of this window runs, so the
    // owner may drop the window from inside that handler.
    virtual std::shared_ptr<void> KeepAlive() { return nullptr; }

    // Guards a handler entered from outside the window procedure (a timer,
    // an event): the object outlives the handler as in the procedure.
    class HandlerScope : public wl::HandlerScope {
    public:
        explicit HandlerScope(DialogWindow& window) : wl::HandlerScope(window, window.KeepAlive()) {}
    };

    // A check box's state.
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    // Fills a list box with the lines; long lines scroll sideways rather than being cut.
    void FillList(int id, const std::vector<std::wstring>& lines);

    // Hides a row of controls and closes the window up over it: the controls
    // below move up by the distance from the row above, and the window shrinks.
    void HideRow(std::initializer_list<int> row, int above, std::initializer_list<int> below);

    // Runs the messages of the whole thread while the flag holds and the
    // window exists; a quit message ends it and is posted again for the outer loop.
    void RunModalLoop(const bool& running);

    // Centres the window on its monitor, as on the screen of a single-monitor desk.
    void CentreOnScreen() noexcept;

    // Gives the window the icon resource in both sizes; the icons live as
    // long as this object, past the window.
    void SetIcons(UINT iconId) noexcept;

    // Sets a flag for the life of the scope, however the scope ends: the busy
    // guards of the tray handlers.
    class FlagScope {
    public:
        explicit FlagScope(bool& flag) noexcept : m_flag(flag) { m_flag = true; }
        FlagScope(const FlagScope&) = delete;
        FlagScope& operator=(const FlagScope&) = delete;
        ~FlagScope() { m_flag = false; }

    private:
        bool& m_flag;
    };

private:
    static INT_PTR CALLBACK Thunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    wl::UniqueIcon m_bigIcon, m_smallIcon;  // declared first: freed after the window
    HWND m_hwnd = nullptr;
};

// Whether a message belongs to one of the program's dialogs; used by the
// message loops so Tab, Enter and Esc work in them.
bool IsDialogMessageForAny(MSG& message);
