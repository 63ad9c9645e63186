#include "Links.h"

#include "core/Conversions.h"
#include "core/Processes.h"
#include "core/Settings.h"
#include "mainwindow/LinkCommand.h"

bool LinkList::Refresh()
{
    const IniPlace place = LinksFile();
    const std::wstring path = place.Folder + place.FileName;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool found = ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
    const ULONGLONG size = found ? (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
    if (m_read && path == m_path && size == m_size && ::CompareFileTime(&data.ftLastWriteTime, &m_written) == 0)
        return false;

    std::vector<Link> items;
    const std::int16_t count = wl::LinkCount(ReadIniSetting(L"count", place));
    items.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int n = 1; n <= count; ++n)
        items.push_back({ReadIniSetting(L"new" + wl::IntegerText(n), place),
                         ReadIniSetting(L"newcmd" + wl::IntegerText(n), place)});
    m_items = std::move(items);
    m_path = path;
    m_written = data.ftLastWriteTime;
    m_size = size;
    m_read = true;
    return true;
}

int LinkList::BuildMenu(HMENU popup, UINT position, UINT firstId, int shown, const std::wstring& noLinks,
                       bool outlookPathKnown) const
{
    for (int i = shown > 1 ? shown : 1; i-- > 0;) ::DeleteMenu(popup, firstId + static_cast<UINT>(i), MF_BYCOMMAND);
    if (m_items.empty()) {
        ::InsertMenuW(popup, position, MF_BYPOSITION | MF_STRING | MF_GRAYED, firstId, noLinks.c_str());
        return 0;
    }
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        // Without Outlook's path a link that needs it could only fail.
        UINT state = wl::UsesOutlookPath(m_items[i].command) && !outlookPathKnown ? MF_GRAYED : MF_ENABLED;
        ::InsertMenuW(popup, position + static_cast<UINT>(i), MF_BYPOSITION | MF_STRING | state,
                      firstId + static_cast<UINT>(i), m_items[i].caption.c_str());
    }
    return static_cast<int>(m_items.size());
}

bool StartLinkCommand(const std::wstring& command, const std::wstring& outlookPath)
{
    if (wl::UsesOutlookPath(command) && outlookPath.empty()) return false;  // Outlook's path is not known
    wl::ProgramAndArguments split = wl::SplitCommandLine(wl::ExpandLinkCommand(command, outlookPath));
    if (!wl::IsUnambiguousProgram(split)) return false;
    const bool isPath = split.program.find_first_of(L"\\/:") != std::wstring::npos;
    const std::wstring program = isPath ? split.program : FindOnPath(split.program);
    return !program.empty() && StartProgram(program, split.arguments, SW_SHOWMINIMIZED);
}
