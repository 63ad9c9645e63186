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

bool StartLinkCommand(const std::wstring& command, const std::wstring& outlookPath)
{
    if (wl::UsesOutlookPath(command) && outlookPath.empty()) return false;  // Outlook's path is not known
    wl::ProgramAndArguments split = wl::SplitCommandLine(wl::ExpandLinkCommand(command, outlookPath));
    if (!wl::IsUnambiguousProgram(split)) return false;
    const bool isPath = split.program.find_first_of(L"\\/:") != std::wstring::npos;
    const std::wstring program = isPath ? split.program : FindOnPath(split.program);
    return !program.empty() && StartProgram(program, split.arguments, SW_SHOWMINIMIZED);
}
