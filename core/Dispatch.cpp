#include "Dispatch.h"

#include "core/RemoteWork.h"

#include <algorithm>

namespace wl {

namespace {

std::wstring SystemMessage(HRESULT hr)
{
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                               nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring(L"Automation error");
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

}  // namespace

ComError::ComError(HRESULT hr, std::wstring description) : m_hr(hr), m_description(std::move(description)) {}

ComError::ComError(HRESULT hr) : m_hr(hr), m_description(SystemMessage(hr)) {}

bool ComError::IsServerGone(HRESULT hr) noexcept
{
    return hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == RPC_E_DISCONNECTED ||
           hr == CO_E_OBJNOTCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) ||
           hr == RPC_E_SERVER_DIED || hr == RPC_E_SERVER_DIED_DNE ||
           // Wine answers calls on a proxy whose stub went away with this one.
           hr == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF);
}

void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr)) throw ComError(hr);
}

namespace {

ServerGoneObserver g_serverGoneObserver = nullptr;

// A call into another process failed: the observer hears of a vanished server.
[[noreturn]] void ThrowCallFailure(HRESULT hr, std::wstring description = {})
{
    if (ComError::IsServerGone(hr) && g_serverGoneObserver) g_serverGoneObserver();
    if (description.empty()) throw ComError(hr);
    throw ComError(hr, std::move(description));
}

}  // namespace

void SetServerGoneObserver(ServerGoneObserver observer) noexcept { g_serverGoneObserver = observer; }

// A busy server

namespace {

UINT g_retryIntervalMs = 250;
UINT g_retryLimitMs = 30'000;

// Lets sent and posted messages through (timers and paint included) until
// the time is up; false when the program is asked to end meanwhile.
bool WaitWithMessagesFlowing(UINT milliseconds)
{
    RemoteWork work;
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
                return false;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ULONGLONG now = ::GetTickCount64();
        if (now >= end) return true;
        (void)::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now),
                                            QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE, 0);
    }
}

}  // namespace

void SetBusyRetry(UINT intervalMs, UINT limitMs) noexcept
{
    g_retryIntervalMs = intervalMs;
    g_retryLimitMs = limitMs;
}

bool IsBusyRejection(HRESULT hr) noexcept { return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER; }

HRESULT RetryWhileBusy(const std::function<HRESULT()>& call)
{
    // Every call into another process runs inside this scope: whatever
    // arrives while it waits is put off, whoever made the call.
    RemoteWork work;
    HRESULT hr = call();
    while (IsBusyRejection(hr) && RemoteWork::ElapsedMs() < g_retryLimitMs) {
        if (!WaitWithMessagesFlowing(g_retryIntervalMs)) break;
        hr = call();
    }
    return hr;
}

// Arguments

Dispatch::Arg::Arg(int v) : Arg(static_cast<long>(v)) {}

Dispatch::Arg::Arg(long v)
{
    m_value.Ref().vt = VT_I4;
    m_value.Ref().lVal = v;
}

Dispatch::Arg::Arg(short v)
{
    m_value.Ref().vt = VT_I2;
    m_value.Ref().iVal = v;
}

Dispatch::Arg::Arg(double v)
{
    m_value.Ref().vt = VT_R8;
    m_value.Ref().dblVal = v;
}

Dispatch::Arg::Arg(bool v)
{
    m_value.Ref().vt = VT_BOOL;
    m_value.Ref().boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}

Dispatch::Arg::Arg(const wchar_t* v) : Arg(std::wstring_view(v ? v : L"")) {}

Dispatch::Arg::Arg(const std::wstring& v) : Arg(std::wstring_view(v)) {}

Dispatch::Arg::Arg(std::wstring_view v)
{
    m_value.Ref().vt = VT_BSTR;
    m_value.Ref().bstrVal = Bstr(v).Detach();
}

Dispatch::Arg::Arg(const Dispatch& v)
{
    m_value.Ref().vt = VT_DISPATCH;
    m_value.Ref().pdispVal = v.Get();
    if (v.Get()) v.Get()->AddRef();
}

// Dispatch

Dispatch Dispatch::Create(std::wstring_view progId)
{
    CLSID clsid{};
    ThrowIfFailed(::CLSIDFromProgID(std::wstring(progId).c_str(), &clsid));
    ComPtr<IDispatch> object;
    ThrowIfFailed(RetryWhileBusy([&] {
        return ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  object.PutVoid());
    }));
    return Dispatch(std::move(object));
}

DISPID Dispatch::IdOf(std::wstring_view member) const
{
    if (!m_object) throw ComError(E_POINTER, L"Object variable not set");
    std::wstring name(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = RetryWhileBusy([&] { return m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); });
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND)
        throw ComError(hr, L"Object doesn't support this property or method");
    if (FAILED(hr)) ThrowCallFailure(hr);
    return id;
}

Value Dispatch::Invoke(DISPID id, WORD flags, const std::vector<const Variant*>& args) const
{
    // IDispatch takes its arguments last first.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back((*it)->Ref());

    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(reversed.size());
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    DISPID putId = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &putId;
    }

    Variant result;
    EXCEPINFO info{};
    UINT badArg = 0;
    HRESULT hr = RetryWhileBusy([&] {
        // EXCEPINFO of a rejected attempt holds nothing to free.
        return m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.Put(), &info, &badArg);
    });
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) (void)info.pfnDeferredFillIn(&info);
        Bstr description = Bstr::Attach(info.bstrDescription);
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrHelpFile);
        HRESULT code = info.scode ? info.scode : (info.wCode ? MAKE_HRESULT(1, FACILITY_ITF, info.wCode) : hr);
        std::wstring text = description.Str();
        ThrowCallFailure(code, text.empty() ? SystemMessage(code) : text);
    }
    if (FAILED(hr)) ThrowCallFailure(hr);
    return Value(std::move(result));
}

Value Dispatch::Call(std::wstring_view member, std::initializer_list<Arg> args) const
{
    DISPID id = IdOf(member);
    std::vector<const Variant*> values;
    values.reserve(args.size());
    for (const Arg& a : args) values.push_back(&a.Get());
    return Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, values);
}

Value Dispatch::Get(std::wstring_view member) const { return Call(member, std::initializer_list<Arg>{}); }

BoundMember Dispatch::Bind(std::wstring_view member) const { return BoundMember(*this, IdOf(member)); }

Value BoundMember::Call(std::initializer_list<Dispatch::Arg> args) const
{
    std::vector<const Variant*> values;
    values.reserve(args.size());
    for (const Dispatch::Arg& a : args) values.push_back(&a.Get());
    return m_object.Invoke(m_id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, values);
}

void Dispatch::Put(std::wstring_view member, const Arg& value) const
{
    DISPID id = IdOf(member);
    std::vector<const Variant*> values{&value.Get()};
    if (value.Get().Type() == VT_DISPATCH) {
        try {
            (void)Invoke(id, DISPATCH_PROPERTYPUTREF, values);
            return;
        } catch (const ComError& e) {
            // Some members take objects only by value.
            if (e.Code() != DISP_E_MEMBERNOTFOUND) throw;
        }
    }
    (void)Invoke(id, DISPATCH_PROPERTYPUT, values);
}

void Dispatch::ForEach(const std::function<bool(const Value&)>& visit) const
{
    if (!m_object) throw ComError(E_POINTER, L"Object variable not set");
    Value enumerator = Invoke(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {});
    const VARIANT& v = enumerator.Raw().Ref();
    IUnknown* unknown = (v.vt == VT_UNKNOWN || v.vt == VT_DISPATCH) ? v.punkVal : nullptr;
    if (!unknown) throw ComError(DISP_E_TYPEMISMATCH);
    ComPtr<IEnumVARIANT> items;
    ThrowIfFailed(RetryWhileBusy([&] { return unknown->QueryInterface(IID_IEnumVARIANT, items.PutVoid()); }));

    // Each Next crosses to the server's process: fetch several items at a time.
    constexpr ULONG kBatch = 64;
    VARIANT batch[kBatch];
    for (;;) {
        for (auto& b : batch) ::VariantInit(&b);
        ULONG fetched = 0;
        HRESULT hr = RetryWhileBusy([&] { return items->Next(kBatch, batch, &fetched); });
        if (FAILED(hr)) ThrowCallFailure(hr);
        std::vector<Value> values;
        values.reserve(fetched);
        for (ULONG i = 0; i < fetched && i < kBatch; ++i) {
            Variant owned;
            *owned.Put() = batch[i];  // takes the reference over
            values.emplace_back(std::move(owned));
        }
        for (const Value& item : values)
            if (!visit(item)) return;
        if (hr != S_OK || fetched < kBatch) return;
    }
}

void Dispatch::AllowForeground() const noexcept
{
    // Fails harmlessly (an object of this process, or a server that is gone).
    if (m_object) (void)::CoAllowSetForegroundWindow(m_object.Get(), nullptr);
}

// Value

bool Value::IsObject() const noexcept
{
    const VARIANT& v = m_value.Ref();
    return v.vt == VT_DISPATCH && v.pdispVal != nullptr;
}

bool Value::IsEmpty() const noexcept
{
    VARTYPE t = m_value.Type();
    return t == VT_EMPTY || t == VT_NULL || (t == VT_DISPATCH && !m_value.Ref().pdispVal);
}

Dispatch Value::Object() const
{
    const VARIANT& v = m_value.Ref();
    if (v.vt == VT_DISPATCH && v.pdispVal) return Dispatch(ComPtr<IDispatch>::AddRef(v.pdispVal));
    if (v.vt == VT_UNKNOWN && v.punkVal) {
        ComPtr<IDispatch> d;
        ThrowIfFailed(v.punkVal->QueryInterface(IID_IDispatch, d.PutVoid()));
        return Dispatch(std::move(d));
    }
    if (v.vt == VT_DISPATCH || v.vt == VT_EMPTY || v.vt == VT_NULL)
        throw ComError(E_POINTER, L"Object variable not set");
    throw ComError(DISP_E_TYPEMISMATCH, L"Object required");
}

namespace {

Variant Converted(const Variant& source, VARTYPE type)
{
    Variant target;
    HRESULT hr = ::VariantChangeTypeEx(target.Put(), const_cast<VARIANT*>(&source.Ref()), LOCALE_USER_DEFAULT, 0, type);
    if (FAILED(hr)) throw ComError(hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH);
    return target;
}

}  // namespace

std::wstring Value::Text() const
{
    if (m_value.Type() == VT_BSTR) {
        BSTR b = m_value.Ref().bstrVal;
        return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
    }
    if (m_value.Type() == VT_DATE) return DateText(m_value.Ref().date);
    Variant text = Converted(m_value, VT_BSTR);
    BSTR b = text.Ref().bstrVal;
    return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
}

bool Value::Bool() const { return Converted(m_value, VT_BOOL).Ref().boolVal != VARIANT_FALSE; }

long Value::Long() const { return Converted(m_value, VT_I4).Ref().lVal; }

double Value::Date() const { return Converted(m_value, VT_DATE).Ref().date; }

double Value::Number() const { return Converted(m_value, VT_R8).Ref().dblVal; }

ValueGrid Value::Grid(std::size_t columns, GridOrder& order) const
{
    const VARIANT& v = m_value.Ref();
    SAFEARRAY* array = v.vt == (VT_ARRAY | VT_VARIANT) ? v.parray : nullptr;
    if (!array) throw ComError(DISP_E_TYPEMISMATCH, L"Type mismatch");
    const UINT dimensions = ::SafeArrayGetDim(array);
    LONG lower[2] = {};
    std::size_t size[2] = {};
    std::size_t elements = dimensions > 0 ? 1 : 0;
    for (UINT d = 0; d < dimensions; ++d) {
        LONG low = 0, up = 0;
        ThrowIfFailed(::SafeArrayGetLBound(array, d + 1, &low));
        ThrowIfFailed(::SafeArrayGetUBound(array, d + 1, &up));
        const std::size_t n = up >= low ? static_cast<std::size_t>(up - low) + 1 : 0;
        elements *= n;
        if (d < 2) {
            lower[d] = low;
            size[d] = n;
        }
    }
    ValueGrid grid;
    grid.m_columns = columns;
    // Rows deleted after they were counted: the server gives an array without elements.
    if (elements == 0) return grid;
    if (dimensions != 2) throw ComError(DISP_E_TYPEMISMATCH, L"Type mismatch");

    if (order == GridOrder::Unknown) {
        if (size[0] == size[1] && size[0] > 1) throw ComError(DISP_E_TYPEMISMATCH, L"Type mismatch");
        if (size[1] == columns) order = GridOrder::RowColumn;
        else if (size[0] == columns) order = GridOrder::ColumnRow;
        else throw ComError(DISP_E_TYPEMISMATCH, L"Type mismatch");
    }
    const bool rowsFirst = order == GridOrder::RowColumn;
    if (size[rowsFirst ? 1 : 0] != columns) throw ComError(DISP_E_TYPEMISMATCH, L"Type mismatch");

    grid.m_rows = size[rowsFirst ? 0 : 1];
    grid.m_cells.reserve(grid.m_rows * columns);
    for (std::size_t row = 0; row < grid.m_rows; ++row) {
        for (std::size_t column = 0; column < columns; ++column) {
            // The indices in the order of the dimensions, the first one first.
            LONG at[2] = {static_cast<LONG>(rowsFirst ? row : column), static_cast<LONG>(rowsFirst ? column : row)};
            at[0] += lower[0];
            at[1] += lower[1];
            Variant cell;
            ThrowIfFailed(::SafeArrayGetElement(array, at, cell.Put()));
            grid.m_cells.emplace_back(std::move(cell));
        }
    }
    return grid;
}

std::wstring DateText(double date)
{
    Bstr text;
    ThrowIfFailed(::VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, text.Put()));
    return text.Str();
}

}  // namespace wl
