// The folder an Outlook window is opened on: an Outlook default-folder number
// (the start folders of the Options dialog's list, and the number the
// settings store), Outlook Today, or one of two choices that stand for the
// configured start folder.
#pragma once

#include <cstdint>

enum class StartFolder : std::int16_t {
    OutlookToday = 0,  // the top of the Inbox's store
    Outbox = 4,
    Sent = 5,
    Inbox = 6,
    Calendar = 9,
    Contacts = 10,
    Journal = 11,
    Notes = 12,
    Tasks = 13,
    Drafts = 16,
    Configured = -99,   // the start folder of the settings
    FrontWindow = -100  // an open Outlook window as it is; without one, the configured folder
};

// The Options list and the tray menu, in list order: Outlook Today, Calendar,
// Contacts, Drafts, Inbox, Journal, Notes, Outbox, Sent, Tasks.
inline constexpr StartFolder kStartFolders[] = {
    StartFolder::OutlookToday, StartFolder::Calendar, StartFolder::Contacts, StartFolder::Drafts,
    StartFolder::Inbox,        StartFolder::Journal,  StartFolder::Notes,    StartFolder::Outbox,
    StartFolder::Sent,         StartFolder::Tasks,
};
