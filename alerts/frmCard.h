// The reminder card: a small window near the notification area that shows
// the reminders Outlook shows, with Join, Snooze, Dismiss and Open for each.
// It must be seen without being in the way: topmost, never activated (on
// show, on update or on a click), on the monitor of the foreground window,
// and held back while Windows says the user must not be disturbed.
#pragma once

#include "core/Window.h"
#include "outlook/OutlookSession.h"
#include "outlook/Reminder.h"

#include <shellapi.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class frmCard final : public DialogWindow {
public:
    explicit frmCard(OutlookSession& outlook);
    ~frmCard() override;

    // Reminders that came due: added (or updated), then the card shows, or
    // waits while the user must not be disturbed.
    void RemindersFired(const std::vector<wl::Reminder>& fired);
    // Follows the reminders Outlook shows now: the others leave the card,
    // and with none left it goes.
    void KeepShown(const std::vector<wl::Reminder>& shown);
    // The program's own warnings before meetings: shown as reminders are,
    // unless the card holds Outlook's reminder of that item already.
    void WarningsDue(const std::vector<wl::Reminder>& warnings);
    // The alert is repeated: a card hidden with its close box comes back.
    void Repeat();
    // Forgets every reminder and goes (Outlook gone, the option turned off).
    void Clear();

    // Raised to the owner, synchronously: "and N more" was clicked.
    std::function<void()> ShowAllReminders;
    // Raised to the owner, synchronously: an own warning was snoozed (for
    // that many minutes) or dismissed (std::nullopt) on the card.
    std::function<void(const std::wstring& entryId, std::optional<long> snoozeMinutes)> OwnWarningDone;

private:
    friend struct Inspector;  // the tests' one view inside the program

    // Handlers
    void Form_Load();
    void lblJoin_Click(std::size_t row);
    void lblSnooze_Click(std::size_t row);
    void lblSnoozeMenu_Click(std::size_t row);
    void lblDismiss_Click(std::size_t row);
    void lblOpen_Click(std::size_t row);
    void lblMore_Click();
    void lblClose_Click();
    void tmrMinute_Timer();
    void tmrWait_Timer();

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // Shows the card now, or starts waiting when the user must not be disturbed.
    void ShowOrWait();
    void ShowNoActivate();
    void Hide();
    bool MustNotDisturb() const;
    // Bottom right of the work area of the monitor holding the foreground window.
    void Place();
    // Draws the rows from the values held; no call into Outlook.
    void DrawRows();
    // The reminder of a row (newest first), if the row shows one.
    const wl::Reminder* ReminderOf(std::size_t row) const;
    void Snooze(std::size_t row, long minutes);
    void OwnWarningTold(const std::wstring& entryId, std::optional<long> snoozeMinutes);
    // The reminder leaves the card once Outlook has done it.
    void Remove(const std::wstring& entryId);

    OutlookSession& m_outlook;
    std::vector<wl::Reminder> m_items;  // oldest first
    bool m_wanted = false;   // the card should be up (it may be waiting)
    bool m_waiting = false;  // held back: the user must not be disturbed
    HWND m_tooltip = nullptr;
    // Windows' answer to "may the user be disturbed?"; tests set their own.
    std::function<QUERY_USER_NOTIFICATION_STATE()> m_notificationState;
    UINT m_waitMs = 30 * 1000;  // how often a waiting card asks again
    bool m_menuButtonDown = false;  // a mouse button was down at the last look during the snooze menu
};
