// The IUnknown of every COM object of the stand-in, written once: a class
// lists the interfaces it answers and implements only their own methods.
//
//     class Enumerator final : public ComObject<IEnumVARIANT> { ... };
//     class Application final : public Automation<IConnectionPointContainer> { ... };
#pragma once

#include "Server.h"

#include <unknwn.h>

namespace standin {

// The interface an entry of the list stands for. A class that implements an
// interface without being one of Windows' declarations (ObjectBase, which is
// IDispatch) says so with a specialisation.
template <class T>
struct ComInterface {
    using Type = T;
};

template <class T>
const IID& InterfaceId() noexcept
{
    return __uuidof(typename ComInterface<T>::Type);
}

// QueryInterface's lookup over a list of interfaces: IUnknown is the first
// one's, so every interface of the object agrees on its identity.
template <class First, class... Rest>
class InterfaceSet : public First, public Rest... {
public:
    IUnknown* Identity() noexcept { return static_cast<typename ComInterface<First>::Type*>(this); }

protected:
    InterfaceSet() = default;
    InterfaceSet(const InterfaceSet&) = delete;
    InterfaceSet& operator=(const InterfaceSet&) = delete;
    virtual ~InterfaceSet() = default;

    // Anything a class answers beyond its list; nullptr for no.
    virtual void* QueryOther(REFIID) { return nullptr; }

    void* Find(REFIID iid)
    {
        if (iid == IID_IUnknown) return Identity();
        if (iid == InterfaceId<First>()) return static_cast<typename ComInterface<First>::Type*>(this);
        void* found = nullptr;
        ((found = found ? found : iid == InterfaceId<Rest>() ? static_cast<Rest*>(this) : nullptr), ...);
        return found ? found : QueryOther(iid);
    }
};

// An object clients create and release: reference counted, deleted at its
// last Release, and counted among the server's live objects (which keep the
// process alive and which Quit disconnects).
template <class... Interfaces>
class ComObject : public InterfaceSet<Interfaces...> {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = this->Find(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

protected:
    ComObject() { TheServer().ObjectCreated(this->Identity()); }
    ~ComObject() override { TheServer().ObjectDestroyed(this->Identity()); }

private:
    LONG m_refs = 1;
};

// An object COM holds from registration until the process ends: the class
// factories (CoRegisterClassObject) and the message filter. It is a static of
// the process, so counting references would have nothing to free, and it must
// not count as a live object, or the process would never end by itself.
template <class... Interfaces>
class ProcessComObject : public InterfaceSet<Interfaces...> {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = this->Find(iid);
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};

}  // namespace standin
