#include "Control.h"

#include "Objects.h"
#include "Server.h"
#include "Text.h"
#include "Ui.h"

#include <cwchar>
#include <sstream>

namespace standin {

namespace {

constexpr DWORD kPipeBuffer = 64 * 1024;
constexpr size_t kMaxCommand = 1024 * 1024;

bool KnownKind(const std::wstring& kind)
{
    for (const wchar_t* k : {L"application", L"namespace", L"folder", L"items", L"item", L"explorers", L"explorer",
                             L"word", L"table", L"columns", L"column", L"row", L"reminders", L"reminder", L"stores", L"store"})
        if (kind == k) return true;
    return false;
}

std::wstring Reply(std::wstring_view status, const std::vector<std::wstring>& lines = {})
{
    std::wstring out(status);
    for (const auto& l : lines) out += L"\n" + l;
    return out;
}

std::wstring Error(const std::wstring& text) { return L"error " + text; }

std::wstring Handle(const std::wstring& commandLine, ControlRequest::After& after)
{
    Server& s = TheServer();
    auto words = Tokenize(commandLine);
    if (words.empty()) return Error(L"empty command");
    std::wstring verb = Lower(words[0]);
    std::vector<std::wstring> args(words.begin() + 1, words.end());

    if (verb == L"ping") return L"ok pong";

    if (verb == L"add") {
        std::wstring problem;
        auto item = s.model.AddItem(args, problem);
        if (!item) return Error(problem);
        s.RefreshWindows();
        s.ReminderEdited(item, false);
        (void)s.FireItemsEvent(item->folder, kIdItemAdd, L"ItemAdd", item);
        return L"ok " + item->entryId;
    }
    if (verb == L"set") {
        if (args.empty()) return Error(L"set <entryid> <field>=<value> ...");
        auto item = s.model.FindItem(args[0]);
        if (!item) return Error(L"no such item: " + args[0]);
        std::wstring problem;
        bool hadReminder = Model::HasReminder(*item);
        FolderData* before = item->folder;
        if (!s.model.SetFields(*item, std::vector<std::wstring>(args.begin() + 1, args.end()), problem))
            return Error(problem);
        s.RefreshWindows();
        s.ReminderEdited(item, hadReminder);
        // A move is a removal from one folder's items and an addition to the other's.
        if (before != item->folder) {
            (void)s.FireItemsEvent(before, kIdItemRemove, L"ItemRemove", item);
            (void)s.FireItemsEvent(item->folder, kIdItemAdd, L"ItemAdd", item);
        } else {
            (void)s.FireItemsEvent(item->folder, kIdItemChange, L"ItemChange", item);
        }
        return L"ok";
    }
    if (verb == L"delete") {
        if (args.size() != 1) return Error(L"delete <entryid>");
        auto item = s.model.FindItem(args[0]);
        if (!item) return Error(L"no such item: " + args[0]);
        ui::Destroy(item->window);
        bool hadReminder = Model::HasReminder(*item);
        s.model.DeleteItem(args[0]);
        s.RefreshWindows();
        s.ReminderEdited(item, hadReminder);
        (void)s.FireItemsEvent(item->folder, kIdItemRemove, L"ItemRemove", item);
        return L"ok";
    }
    if (verb == L"fire-reminder") {
        if (args.size() < 1 || args.size() > 2 || (args.size() == 2 && args[1] != L"item-first"))
            return Error(L"fire-reminder <entryid> [item-first]");
        auto item = s.model.FindItem(args[0]);
        if (!item) return Error(L"no such item: " + args[0]);
        return L"ok " + std::to_wstring(s.FireReminder(item, args.size() == 2));
    }
    if (verb == L"fire-during") {
        if (args.size() < 2 || args.size() > 3) return Error(L"fire-during <Kind>.<Member> <entryid> [ms]");
        std::wstring key = Lower(args[0]);
        size_t dot = key.rfind(L'.');
        if (dot == std::wstring::npos || dot == 0 || dot + 1 == key.size())
            return Error(L"expected <Kind>.<Member> or <Kind>:<id>.<Member>: " + args[0]);
        if (!KnownKind(key.substr(0, std::min(key.find(L':'), dot)))) return Error(L"unknown kind: " + args[0]);
        if (!s.model.FindItem(args[1])) return Error(L"no such item: " + args[1]);
        DWORD holdMs = 500;
        if (args.size() == 3) {
            wchar_t* end = nullptr;
            long ms = std::wcstol(args[2].c_str(), &end, 10);
            if (!end || *end || ms < 0) return Error(L"not a number of milliseconds: " + args[2]);
            holdMs = static_cast<DWORD>(ms);
        }
        s.fireDuring = Server::FireDuring{key, args[1], holdMs};
        return L"ok";
    }
    // The user dismisses or snoozes a reminder in Outlook's reminder window.
    if (verb == L"dismiss" || verb == L"snooze") {
        if (args.size() != (verb == L"dismiss" ? 1u : 2u))
            return Error(verb == L"dismiss" ? L"dismiss <entryid>" : L"snooze <entryid> <minutes>");
        auto item = s.model.FindItem(args[0]);
        if (!item) return Error(L"no such item: " + args[0]);
        long minutes = 0;
        if (verb == L"snooze") {
            wchar_t* end = nullptr;
            minutes = std::wcstol(args[1].c_str(), &end, 10);
            if (!end || *end || minutes < 1) return Error(L"not a number of minutes: " + args[1]);
        }
        bool done = verb == L"dismiss" ? s.DismissReminder(item) : s.SnoozeReminder(item, minutes);
        return done ? L"ok" : Error(L"the reminder is not shown: " + args[0]);
    }
    // A mailbox or data file added to the profile, or taken out of it, while Outlook runs.
    if (verb == L"store-add") {
        std::wstring problem;
        StoreData* store = s.model.AddStore(args, problem);
        if (!store) return Error(problem);
        (void)s.FireStoresEvent(kIdStoreAdd, L"StoreAdd", NewStore(store).Get(), L"Store:" + store->root->name);
        return L"ok " + store->id;
    }
    if (verb == L"store-remove") {
        if (args.empty() || args.size() > 2) return Error(L"store-remove <name or store id> [ms]");
        StoreData* store = s.model.FindStore(args[0]);
        if (!store) return Error(L"no such store: " + args[0]);
        if (store->isDefault) return Error(L"the default store stays");
        DWORD afterMs = 0;
        if (args.size() == 2) {
            auto ms = ParseMilliseconds(args[1]);
            if (!ms) return Error(L"not a number of milliseconds: " + args[1]);
            afterMs = *ms;
        }
        bool cancel = false;
        (void)s.FireStoresEvent(kIdBeforeStoreRemove, L"BeforeStoreRemove", NewStore(store).Get(),
                                L"Store:" + store->root->name, &cancel);
        if (cancel) return L"ok cancelled";
        s.pendingRemovals.push_back(store);
        // Outlook finishes taking the store out after the event: meanwhile it still lists it.
        if (afterMs > 0 && s.controlWindow) ::SetTimer(s.controlWindow, kTimerStoreRemoval, afterMs, nullptr);
        else s.RemovePendingStores();
        return L"ok";
    }
    if (verb == L"fire-quit") return L"ok " + std::to_wstring(s.Fire(0xF007, L"Quit", nullptr, L""));

    if (verb == L"fail" || verb == L"unfail") {
        if (args.empty() || args.size() > 2 || (verb == L"unfail" && args.size() != 1))
            return Error(verb + L" <Kind>.<Member>" + (verb == L"fail" ? L" [hresult]" : L""));
        std::wstring key = Lower(args[0]);
        size_t dot = key.rfind(L'.');
        if (dot == std::wstring::npos || dot == 0 || dot + 1 == key.size())
            return Error(L"expected <Kind>.<Member> or <Kind>:<id>.<Member>: " + args[0]);
        std::wstring kind = key.substr(0, std::min(key.find(L':'), dot));
        std::wstring member = key.substr(dot + 1);
        if (!KnownKind(kind)) return Error(L"unknown kind: " + kind);
        if (verb == L"unfail") {
            s.failures.erase(key);
            return L"ok";
        }
        HRESULT hr = E_FAIL;
        // Members an older Outlook lacks fail by name, so the program takes its fallback.
        if (member == L"restrict" || member == L"gettable" || !KnownMember(kind, member)) hr = DISP_E_UNKNOWNNAME;
        if (args.size() == 2) {
            auto given = ParseResult(args[1]);
            if (!given || SUCCEEDED(*given)) return Error(L"not a failure code: " + args[1]);
            hr = *given;
        }
        s.failures[key] = hr;
        return L"ok " + HexResult(hr);
    }
    if (verb == L"fail-clear") {
        s.failures.clear();
        return L"ok";
    }

    if (verb == L"journal") {
        std::wstring text = Wide(s.journal.ReadAll());
        std::vector<std::wstring> lines;
        std::wistringstream in(text);
        for (std::wstring line; std::getline(in, line);) {
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            lines.push_back(line);
        }
        return Reply(L"ok " + std::to_wstring(lines.size()), lines);
    }
    if (verb == L"journal-clear") {
        s.journal.Clear();
        return L"ok";
    }
    if (verb == L"stats") {
        return Reply(L"ok", {L"getidsofnames=" + std::to_wstring(s.stats.getIdsOfNames),
                             L"invoke=" + std::to_wstring(s.stats.invoke), L"next=" + std::to_wstring(s.stats.next),
                             L"objects=" + std::to_wstring(s.objectsAlive),
                             L"rejected=" + std::to_wstring(s.stats.rejected)});
    }
    if (verb == L"stats-reset") {
        s.stats = CallStats{};
        return L"ok";
    }
    if (verb == L"state") {
        auto active = s.model.ActiveExplorer();
        std::vector<std::wstring> lines = {
            L"pid=" + std::to_wstring(::GetCurrentProcessId()),
            L"explorers=" + std::to_wstring(s.model.OpenExplorers().size()),
            L"active=" + std::to_wstring(active ? active->id : 0),
        };
        for (auto& e : s.model.Explorers())
            lines.push_back(L"explorer=" + std::to_wstring(e->id) + L" folder=" + Quoted(e->folder->name) +
                            L" displayed=" + (e->displayed ? L"1" : L"0") + L" closed=" + (e->closed ? L"1" : L"0") +
                            L" window=" + (e->window ? L"1" : L"0"));
        lines.push_back(L"sinks=" + std::to_wstring(s.sinks.size()));
        lines.push_back(L"application=" + std::wstring(s.application ? L"1" : L"0"));
        lines.push_back(L"objects=" + std::to_wstring(s.objectsAlive));
        lines.push_back(L"linger=" + std::wstring(s.linger ? L"1" : L"0"));
        lines.push_back(L"busy=" + std::to_wstring(s.BusyLeft()));
        lines.push_back(L"quitting=" + std::wstring(s.quitting ? L"1" : L"0"));
        lines.push_back(L"journal=" + s.journal.Path());
        return Reply(L"ok", lines);
    }
    if (verb == L"busy") {
        auto ms = args.size() == 1 ? ParseMilliseconds(args[0]) : std::nullopt;
        if (!ms) return Error(L"busy <milliseconds>");
        s.SetBusy(*ms);
        return L"ok";
    }
    if (verb == L"quit-delay") {
        auto ms = args.size() == 1 ? ParseMilliseconds(args[0]) : std::nullopt;
        if (!ms) return Error(L"quit-delay <milliseconds>");
        s.options.quitDelayMs = *ms;
        return L"ok";
    }
    if (verb == L"exit") {
        after = ControlRequest::After::Exit;
        return L"ok";
    }
    if (verb == L"kill") {
        // A crash as clients see it. Revoking the class objects first keeps
        // Wine's activation able to start a new stand-in afterwards; "kill raw"
        // skips that, to reproduce a real crash.
        bool raw = args.size() == 1 && Lower(args[0]) == L"raw";
        if (!args.empty() && !raw) return Error(L"kill [raw]");
        if (!raw) s.Revoke();
        s.journal.Write(raw ? L"Server kill (raw)" : L"Server kill");
        after = ControlRequest::After::Kill;
        return L"ok";
    }
    return Error(L"unknown command: " + words[0]);
}

std::string ReadCommand(HANDLE pipe)
{
    std::string text;
    char buf[4096];
    while (text.size() < kMaxCommand) {
        DWORD got = 0;
        if (!::ReadFile(pipe, buf, sizeof buf, &got, nullptr) || got == 0) break;
        text.append(buf, got);
        if (text.find('\n') != std::string::npos) break;
    }
    size_t nl = text.find('\n');
    if (nl != std::string::npos) text.resize(nl);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

HANDLE NewInstance(bool first)
{
    return ::CreateNamedPipeW(kPipeName, PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, kPipeBuffer,
                              kPipeBuffer, 0, nullptr);
}

DWORD WINAPI ServePipe(void* firstInstance)
{
    HANDLE listening = firstInstance;
    for (;;) {
        BOOL connected = ::ConnectNamedPipe(listening, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED;
        wl::UniqueHandle current(listening);
        // Keep an instance listening while this one is served.
        listening = NewInstance(false);
        if (connected) try {
            ControlRequest request;
            request.command = ReadCommand(current.get());
            ::SendMessageW(TheServer().controlWindow, kMsgCommand, 0, reinterpret_cast<LPARAM>(&request));
            request.reply += "\n";
            DWORD written = 0;
            (void)::WriteFile(current.get(), request.reply.data(), static_cast<DWORD>(request.reply.size()), &written,
                              nullptr);
            (void)::FlushFileBuffers(current.get());
            (void)::DisconnectNamedPipe(current.get());
            if (request.after == ControlRequest::After::Kill) ::TerminateProcess(::GetCurrentProcess(), 3);
            if (request.after == ControlRequest::After::Exit)
                ::PostMessageW(TheServer().controlWindow, kMsgQuit, 1, 0);
        } catch (...) {
            // Out of memory for one request: the client sees the pipe close.
        }
        if (listening == INVALID_HANDLE_VALUE) {
            ::Sleep(100);
            listening = NewInstance(false);
            if (listening == INVALID_HANDLE_VALUE) return 1;
        }
    }
}

}  // namespace

void HandleCommand(ControlRequest& request)
{
    try {
        std::wstring reply = Handle(Wide(request.command), request.after);
        request.reply = Utf8(reply);
    } catch (...) {
        request.reply = "error internal failure";
        request.after = ControlRequest::After::Nothing;
    }
}

bool StartControlPipe()
{
    HANDLE first = NewInstance(true);
    if (first == INVALID_HANDLE_VALUE) return false;
    HANDLE thread = ::CreateThread(nullptr, 0, ServePipe, first, 0, nullptr);
    if (!thread) {
        ::CloseHandle(first);
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

}  // namespace standin
