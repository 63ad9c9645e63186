// Late binding: call automation members by name, the way servers in other
// processes are driven throughout the program. Business code never touches a raw VARIANT:
//
//     Dispatch folder = server.Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", 6).Object();
//
// Every failure throws ComError; callers that ignore failures catch it.
#pragma once

#include "win32.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wl {

// A failed automation call: the HRESULT, and the server's own error text when it gave one.
class ComError : public std::exception {
public:
    ComError(HRESULT hr, std::wstring description);
    explicit ComError(HRESULT hr);

    HRESULT Code() const noexcept { return m_hr; }
    // The error number as the user sees it: the HRESULT as a signed decimal.
    long Number() const noexcept { return static_cast<long>(m_hr); }
    const std::wstring& Description() const noexcept { return m_description; }
    const char* what() const noexcept override { return "automation error"; }

    // The process behind the object is gone (crashed, killed or quit).
    bool ServerGone() const noexcept { return IsServerGone(m_hr); }
    static bool IsServerGone(HRESULT hr) noexcept;

private:
    HRESULT m_hr;
    std::wstring m_description;
};

// Throws ComError for a failed HRESULT.
void ThrowIfFailed(HRESULT hr);

// A busy server (starting, showing a dialog of its own, at long work) rejects
// incoming calls: RPC_E_CALL_REJECTED, or RPC_E_SERVERCALL_RETRYLATER. Every
// call of this helper, and what the program asks of the server's objects
// besides, is tried again every intervalMs until the piece of work it belongs
// to (the outermost RemoteWork scope) has run limitMs (250 ms and 30 s unless
// set); then it fails, and so does every later rejected call of the same
// work, at once. While it waits the thread's sent and posted messages flow,
// as in any call into another process, and the wait counts as remote work
// (see RemoteWork): events, ticks and clicks are put off. Input stays queued.
void SetBusyRetry(UINT intervalMs, UINT limitMs) noexcept;
bool IsBusyRejection(HRESULT hr) noexcept;
HRESULT RetryWhileBusy(const std::function<HRESULT()>& call);

// Told, on the calling thread, of every automation call that failed because
// the object's process is gone, before the call throws. The server may crash or
// end while the program holds it; this is how the program hears of it.
using ServerGoneObserver = void (*)() noexcept;
void SetServerGoneObserver(ServerGoneObserver observer) noexcept;

class Value;
class BoundMember;

// An automation object reached through IDispatch.
class Dispatch {
public:
    Dispatch() = default;
    explicit Dispatch(ComPtr<IDispatch> object) : m_object(std::move(object)) {}

    // Creates an object by its class name ("Word.Application"), as a local server.
    static Dispatch Create(std::wstring_view progId);

    // One argument of a call. Optional arguments are omitted by not passing them.
    class Arg {
    public:
        Arg(int v);
        Arg(long v);
        Arg(short v);
        Arg(double v);
        Arg(bool v);
        Arg(const wchar_t* v);
        Arg(const std::wstring& v);
        Arg(std::wstring_view v);
        Arg(const Dispatch& v);
        const Variant& Get() const noexcept { return m_value; }

    private:
        Variant m_value;
    };

    // Calls a method or reads a property (the two are the same to late binding).
    Value Call(std::wstring_view member, std::initializer_list<Arg> args = {}) const;
    template <class... A>
    Value Call(std::wstring_view member, const A&... args) const;
    Value Get(std::wstring_view member) const;
    // Sets a property; objects are set by reference when the member allows it.
    void Put(std::wstring_view member, const Arg& value) const;

    // Looks the member up once, for calls repeated on this same object: each
    // of them is then one call into the object's process instead of two.
    BoundMember Bind(std::wstring_view member) const;

    // Walks a collection through its _NewEnum, fetching items in batches.
    // The callback returns false to stop early.
    void ForEach(const std::function<bool(const Value&)>& visit) const;

    // Lets the object's process take the foreground: a window the server opens
    // after a click in the tray would otherwise only flash in the taskbar.
    void AllowForeground() const noexcept;

    explicit operator bool() const noexcept { return static_cast<bool>(m_object); }
    IDispatch* Get() const noexcept { return m_object.Get(); }
    void Reset() noexcept { m_object.Reset(); }

private:
    DISPID IdOf(std::wstring_view member) const;
    Value Invoke(DISPID id, WORD flags, const std::vector<const Variant*>& args) const;
    friend class Value;
    friend class BoundMember;

    ComPtr<IDispatch> m_object;
};

// A member of one object, looked up once (Dispatch::Bind).
class BoundMember {
public:
    Value Call(std::initializer_list<Dispatch::Arg> args = {}) const;
    template <class... A>
    Value Call(const A&... args) const;
    // The same member of another object of the same interface: dispatch ids
    // belong to the interface, so the objects of a collection share them.
    BoundMember On(Dispatch other) const { return BoundMember(std::move(other), m_id); }

private:
    friend class Dispatch;
    BoundMember(Dispatch object, DISPID id) : m_object(std::move(object)), m_id(id) {}

    Dispatch m_object;
    DISPID m_id;
};

class ValueGrid;

// The order of the dimensions of a two-dimensional array of rows and columns.
enum class GridOrder { Unknown, RowColumn, ColumnRow };

// The result of a call: a VARIANT with typed readers that throw ComError
// (DISP_E_TYPEMISMATCH) when the value cannot be converted.
class Value {
public:
    Value() = default;
    explicit Value(Variant v) : m_value(std::move(v)) {}

    bool IsObject() const noexcept;
    bool IsEmpty() const noexcept;
    Dispatch Object() const;
    std::wstring Text() const;  // the user's locale, as automation converts
    bool Bool() const;
    long Long() const;
    double Date() const;  // an automation DATE: days since 30 December 1899
    double Number() const;
    // A two-dimensional array of values with that many columns, as a table's
    // GetArray gives it (see ValueGrid). order: the order of the
    // array's dimensions; when Unknown it is learnt from a shape that cannot
    // be mistaken and written back, and an array with as many rows as
    // columns (beyond one) throws, as it could be read either way. An array
    // without elements has no rows, whatever its shape.
    ValueGrid Grid(std::size_t columns, GridOrder& order) const;

    // Chaining on an object result.
    template <class... A>
    Value Call(std::wstring_view member, const A&... args) const
    {
        return Object().Call(member, args...);
    }

    const Variant& Raw() const noexcept { return m_value; }

private:
    Variant m_value;
};

template <class... A>
Value Dispatch::Call(std::wstring_view member, const A&... args) const
{
    return Call(member, std::initializer_list<Arg>{Arg(args)...});
}

template <class... A>
Value BoundMember::Call(const A&... args) const
{
    return Call(std::initializer_list<Dispatch::Arg>{Dispatch::Arg(args)...});
}

// The cells of a two-dimensional array, copied out of it, by row and column.
// One server's reference gives the column as the first index of such an
// array (Table.GetArray), its own example the row; which one it gives is learnt from
// an array whose shape shows it.
class ValueGrid {
public:
    std::size_t Rows() const noexcept { return m_rows; }
    std::size_t Columns() const noexcept { return m_columns; }
    const Value& At(std::size_t row, std::size_t column) const { return m_cells.at(row * m_columns + column); }

private:
    friend class Value;
    std::vector<Value> m_cells;  // row after row
    std::size_t m_rows = 0;
    std::size_t m_columns = 0;
};

// The text automation gives a date in the user's locale: short date, then the
// time, the time left out at exactly midnight.
std::wstring DateText(double date);

}  // namespace wl
