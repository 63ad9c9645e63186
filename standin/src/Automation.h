// What the automation objects of the stand-in share (Objects.cpp, Table.cpp):
// their base with its IUnknown, the members every Outlook object has, the
// readers of arguments and setters of results, and the builders of objects.
#pragma once

#include "Objects.h"

#include <optional>
#include <utility>

namespace standin {

// Asks an object of this process for itself; proxies of other processes do not know it.
// {6B3E1A52-9C0D-4E7B-A2C4-5D1F0E8B7A31}
constexpr IID kIidSelf = {0x6b3e1a52, 0x9c0d, 0x4e7b, {0xa2, 0xc4, 0x5d, 0x1f, 0x0e, 0x8b, 0x7a, 0x31}};

// An automation object: IDispatch by its member table, and any further interfaces listed.
template <class... More>
class Automation : public ComObject<ObjectBase, More...> {
protected:
    void* QueryOther(REFIID iid) override { return iid == kIidSelf ? static_cast<ObjectBase*>(this) : nullptr; }
};

template <class T, class... A>
wl::ComPtr<IDispatch> Make(A&&... args)
{
    return wl::ComPtr<IDispatch>::Attach(static_cast<IDispatch*>(new T(std::forward<A>(args)...)));
}

// Outlook's errors.
constexpr HRESULT kItemGone = static_cast<HRESULT>(0x8004010F);  // MAPI_E_NOT_FOUND
extern const wchar_t kItemGoneText[];     // an item deleted while a reference to it is held
extern const wchar_t kNotFoundText[];     // a lookup that found nothing
extern const wchar_t kBadParameterText[];

// Members every Outlook object has.
constexpr DISPID kIdApplication = 0xF000;
constexpr DISPID kIdClass = 0xF00A;
constexpr DISPID kIdSession = 0xF00B;
constexpr DISPID kIdParent = 0xF001;
void AddCommon(std::vector<Member>& list);
// Answers Application and Session; false for other members.
bool CommonCall(DISPID id, VARIANT* result);

// Result setters: a VARIANT the caller has initialised.
void SetText(VARIANT* v, std::wstring_view text);
void SetLong(VARIANT* v, long n);
void SetBool(VARIANT* v, bool b);
void SetDate(VARIANT* v, double d);
void SetObject(VARIANT* v, wl::ComPtr<IDispatch> object);

// Argument readers: conversions as automation does them; a missing or
// unconvertible argument throws DISP_E_TYPEMISMATCH.
long ArgLong(const VARIANT* v);
std::wstring ArgText(const VARIANT* v);
bool ArgBool(const VARIANT* v);
// The argument's type without VT_BYREF (VT_EMPTY when missing).
VARTYPE ArgType(const VARIANT* v);
// The object behind a VT_DISPATCH / VT_UNKNOWN argument, when it is one of ours.
ObjectBase* ArgObject(const VARIANT* v);

// The filters Restrict and GetTable accept: "[Complete] = False" and
// "[Complete] = True", blanks and case ignored. Throws DispError for others,
// and for [Complete] outside a task folder.
bool ParseCompleteFilter(const FolderData& folder, const std::wstring& filter);

wl::ComPtr<IDispatch> NewNameSpace();
wl::ComPtr<IDispatch> NewFolder(FolderData* folder);
wl::ComPtr<IDispatch> NewItems(FolderData* folder, std::optional<bool> complete);
wl::ComPtr<IDispatch> NewExplorers();
// NameSpace.Stores, with the events of StoresEvents_12.
wl::ComPtr<IDispatch> NewStores();
wl::ComPtr<IDispatch> NewExplorer(const std::shared_ptr<ExplorerData>& explorer);
// A Table over a folder's items (Folder.GetTable); hiddenItems: olHiddenItems.
wl::ComPtr<IDispatch> NewTable(FolderData* folder, std::optional<bool> complete, bool hiddenItems);

}  // namespace standin
