// The new-item links as the links file holds them: read once, and again only
// when the file has changed since (its time stamp and size), not at every click.
#pragma once

#include "core/basINI.h"
#include "core/win32.h"

#include <string>
#include <vector>

struct Link {
    std::wstring caption;
    std::wstring command;  // as written, "%OUTLOOK%" not yet expanded
};

class LinkList {
public:
    // Reads the file when it is not read yet, or has changed (another file,
    // another time stamp or size) since. Returns whether it read it.
    bool Refresh();
    const std::vector<Link>& Items() const noexcept { return m_items; }

    // Puts the links into a popup at the position, with ids from firstId on,
    // in place of the `shown` link items put there before. Without links a
    // disabled item says so (noLinks); a link that needs Outlook's path is
    // disabled without it. Returns how many links the popup now has.
    int BuildMenu(HMENU popup, UINT position, UINT firstId, int shown, const std::wstring& noLinks,
                  bool outlookPathKnown) const;

private:
    std::wstring m_path;  // of the file read
    FILETIME m_written{};
    ULONGLONG m_size = 0;
    bool m_read = false;
    std::vector<Link> m_items;
};

// Starts a link's command line: the program named exactly (a bare name is
// looked up on the search path only), minimized with the focus, not waited
// for. False when it names none that can be started.
bool StartLinkCommand(const std::wstring& command, const std::wstring& outlookPath);
