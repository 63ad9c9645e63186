// The automation objects of the stand-in. Each answers IDispatch by name
// (GetIDsOfNames, then Invoke), writes one journal line per call, and honours
// the failures switched on by the control channel.
#pragma once

#include "ComObject.h"
#include "Model.h"
#include "Server.h"

#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

namespace standin {

// One argument list of a call, positional; missing optional arguments are nullptr.
struct CallArgs {
    WORD flags = 0;
    std::vector<const VARIANT*> positional;  // first argument first
    const VARIANT* putValue = nullptr;       // for DISPATCH_PROPERTYPUT/PUTREF
    const VARIANT* At(size_t i) const { return i < positional.size() ? positional[i] : nullptr; }
};

enum class MemberType { Method, Get, GetPut, GetPutRef };

struct Member {
    const wchar_t* name;
    DISPID id;
    MemberType type;
    std::vector<const wchar_t*> params;  // names, for named arguments
    size_t required = 0;
};

// IDispatch by a member table, with the journal and the switched-on failures.
// Its IUnknown comes from ComObject (see Automation in Objects.cpp).
class ObjectBase : public IDispatch {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argError) override;

    // "Item", "Folder" ... (the kind the fail command names)
    virtual std::wstring Kind() const = 0;
    // How the journal names this object: "Item:T1", "Folder:Tasks", "Application".
    virtual std::wstring Ref() const = 0;
    // Recognises an object of this process behind an IDispatch (nullptr for others).
    static ObjectBase* FromDispatch(IUnknown* object);
    // The folder whose item events this object's connection point gives (Items), else nullptr.
    virtual FolderData* EventFolder() const { return nullptr; }

protected:
    ObjectBase() = default;
    virtual ~ObjectBase() = default;

    virtual std::vector<Member> Members() const = 0;
    // Carries out a call; throws DispError for a failure.
    virtual void Call(const Member& member, const CallArgs& args, VARIANT* result) = 0;
    // True once the object's process would be gone (Word after Quit): every
    // call then fails with RPC_E_DISCONNECTED.
    virtual bool Disconnected() const { return false; }
};

// ObjectBase stands for IDispatch in a ComObject's list of interfaces.
template <>
struct ComInterface<ObjectBase> {
    using Type = IDispatch;
};

// Builders for objects handed out (each returns a new reference).
wl::ComPtr<IDispatch> NewApplication();
wl::ComPtr<IDispatch> NewItem(const std::shared_ptr<ItemData>& item);
wl::ComPtr<IDispatch> NewWord();
// A Store of NameSpace.Stores.
wl::ComPtr<IDispatch> NewStore(StoreData* store);
// A Reminder of Application.Reminders, for the item's reminder.
wl::ComPtr<IDispatch> NewReminder(const std::shared_ptr<ItemData>& item);

// Class factories for CoRegisterClassObject.
IClassFactory* OutlookFactory();
IClassFactory* WordFactory();

// Whether a kind (lower case: "item", "explorer" ...) has a member of that name.
bool KnownMember(const std::wstring& kind, const std::wstring& member);

// The journal notation of a value: "text", 6, True, #2024-05-01 00:00:00#, Folder:Tasks, Nothing.
std::wstring Describe(const VARIANT& value);

}  // namespace standin
