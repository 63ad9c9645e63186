// Small owners for the Windows resources the program holds: handles, icons,
// menus, windows, COM pointers, BSTRs, VARIANTs, COM initialisation.
// Handles, BSTRs and COM initialisation are not copied, only moved; a COM
// pointer copies with AddRef and a VARIANT with VariantCopy, as COM's own
// smart types do, since both stand for a shared reference.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace wl {

// One owner per handle kind: unique_any<HICON, DestroyIcon> and so on.
template <class T, auto Close, T Invalid = T{}>
class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : m_value(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : m_value(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    T get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Invalid; }
    T release() noexcept { return std::exchange(m_value, Invalid); }
    void reset(T value = Invalid) noexcept
    {
        T old = std::exchange(m_value, value);
        if (old != Invalid) (void)Close(old);
    }

private:
    T m_value = Invalid;
};

using UniqueHandle = UniqueAny<HANDLE, &::CloseHandle>;
using UniqueIcon = UniqueAny<HICON, &::DestroyIcon>;
using UniqueMenu = UniqueAny<HMENU, &::DestroyMenu>;
using UniqueHkey = UniqueAny<HKEY, &::RegCloseKey>;
using UniqueWindow = UniqueAny<HWND, &::DestroyWindow>;

// A file handle, whose "none" value is INVALID_HANDLE_VALUE.
class UniqueFile {
public:
    UniqueFile() noexcept = default;
    explicit UniqueFile(HANDLE h) noexcept : m_h(h) {}
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    UniqueFile(UniqueFile&& o) noexcept : m_h(std::exchange(o.m_h, INVALID_HANDLE_VALUE)) {}
    UniqueFile& operator=(UniqueFile&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_h = std::exchange(o.m_h, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    ~UniqueFile() { reset(); }
    HANDLE get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != INVALID_HANDLE_VALUE; }
    void reset() noexcept
    {
        if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(std::exchange(m_h, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

// CoInitialize for the lifetime of the object, on the calling thread.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : m_hr(::CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    HRESULT result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};

// The reference-counting owner of one COM interface pointer.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) noexcept
    {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr AddRef(T* p) noexcept
    {
        if (p) p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr& o) noexcept : m_p(o.m_p)
    {
        if (m_p) m_p->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() noexcept
    {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // For out-parameters: releases what is held first.
    T** Put() noexcept
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    template <class U>
    ComPtr<U> As() const noexcept
    {
        ComPtr<U> other;
        if (m_p) (void)m_p->QueryInterface(__uuidof(U), other.PutVoid());
        return other;
    }
    ComPtr<IUnknown> AsUnknown(REFIID iid) const noexcept
    {
        ComPtr<IUnknown> other;
        if (m_p) (void)m_p->QueryInterface(iid, other.PutVoid());
        return other;
    }

private:
    T* m_p = nullptr;
};

// A BSTR that frees itself.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text)
        : m_b(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    static Bstr Attach(BSTR b) noexcept
    {
        Bstr r;
        r.m_b = b;
        return r;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : m_b(std::exchange(o.m_b, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept
    {
        if (this != &o) {
            ::SysFreeString(m_b);
            m_b = std::exchange(o.m_b, nullptr);
        }
        return *this;
    }
    ~Bstr() { ::SysFreeString(m_b); }

    BSTR Get() const noexcept { return m_b; }
    BSTR* Put() noexcept
    {
        ::SysFreeString(std::exchange(m_b, nullptr));
        return &m_b;
    }
    BSTR Detach() noexcept { return std::exchange(m_b, nullptr); }
    std::wstring Str() const { return m_b ? std::wstring(m_b, ::SysStringLen(m_b)) : std::wstring(); }

private:
    BSTR m_b = nullptr;
};

// A VARIANT that clears itself.
class Variant {
public:
    Variant() noexcept { ::VariantInit(&m_v); }
    Variant(const Variant& o) : Variant() { (void)::VariantCopy(&m_v, const_cast<VARIANT*>(&o.m_v)); }
    Variant(Variant&& o) noexcept : m_v(o.m_v) { ::VariantInit(&o.m_v); }
    Variant& operator=(Variant o) noexcept
    {
        std::swap(m_v, o.m_v);
        return *this;
    }
    ~Variant() { (void)::VariantClear(&m_v); }

    VARIANT* Put() noexcept
    {
        (void)::VariantClear(&m_v);
        return &m_v;
    }
    const VARIANT& Ref() const noexcept { return m_v; }
    VARIANT& Ref() noexcept { return m_v; }
    VARTYPE Type() const noexcept { return m_v.vt; }

private:
    VARIANT m_v;
};

// Text conversions between the program's UTF-16 strings and UTF-8.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// A string from the resource string table.
std::wstring LoadStr(UINT id);

// Registers a plain window class of the program's own (no icon, cursor or
// background: its windows are never seen); one already registered is fine.
void RegisterPlainWindowClass(const wchar_t* name, WNDPROC procedure) noexcept;

// The full path of the running executable, however long.
inline std::wstring ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace wl
