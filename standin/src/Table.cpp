// Outlook's Table over a folder (Folder.GetTable): its rows are the folder's
// items, its columns their properties. A client reads it in batches with
// GetArray, one call per batch instead of several per item, or row by row with
// GetNextRow. Table, Columns, Column and Row share one TableState.
#include "Automation.h"
#include "Text.h"

#include <memory>
#include <new>
#include <optional>

namespace standin {

namespace {

// The properties a column can hold, by their built-in names.
enum class Property {
    EntryID,
    Subject,
    CreationTime,
    LastModificationTime,
    MessageClass,
    DueDate,
    Complete,
    ReminderTime,
    PercentComplete,
    IsRecurring,
};

struct PropertyName {
    Property property;
    const wchar_t* name;
};

constexpr PropertyName kProperties[] = {
    {Property::EntryID, L"EntryID"},
    {Property::Subject, L"Subject"},
    {Property::CreationTime, L"CreationTime"},
    {Property::LastModificationTime, L"LastModificationTime"},
    {Property::MessageClass, L"MessageClass"},
    {Property::DueDate, L"DueDate"},
    {Property::Complete, L"Complete"},
    {Property::ReminderTime, L"ReminderTime"},
    {Property::PercentComplete, L"PercentComplete"},
    {Property::IsRecurring, L"IsRecurring"},
};

const wchar_t* NameOf(Property property)
{
    for (const PropertyName& p : kProperties)
        if (p.property == property) return p.name;
    return L"?";
}

Property PropertyNamed(const std::wstring& name)
{
    for (const PropertyName& p : kProperties)
        if (EqualsNoCase(p.name, name)) return p.property;
    throw DispError{E_INVALIDARG, L"The property \"" + name + L"\" is unknown."};
}

// Outlook's default columns for the folder's kind. Its Calendar and Contacts
// tables add Start, End and names, which the stand-in's items do not have.
std::vector<Property> DefaultColumns(const FolderData& folder, bool hiddenItems)
{
    std::vector<Property> columns = {Property::EntryID, Property::Subject, Property::CreationTime,
                                     Property::LastModificationTime, Property::MessageClass};
    if (folder.kind == ItemKind::Task && !hiddenItems)
        columns.insert(columns.end(), {Property::DueDate, Property::PercentComplete, Property::IsRecurring});
    return columns;
}

// One cell, as Outlook gives a column added by its built-in name: binary
// properties (EntryID) as hex text, dates in local time, 1 January 4501 for
// none as the object model has it. A property the item does not have, or one
// "fail" made unreadable for it, leaves the cell empty.
void SetCell(VARIANT* cell, const ItemData& item, Property property)
{
    const Server& s = TheServer();
    if (!s.failures.empty() && s.FailureFor(L"Item:" + item.entryId, L"Item", NameOf(property))) return;
    const ItemKind kind = item.folder->kind;
    const bool task = kind == ItemKind::Task;
    switch (property) {
    case Property::EntryID: SetText(cell, item.entryId); break;
    case Property::Subject: SetText(cell, item.subject); break;
    case Property::CreationTime: SetDate(cell, item.created); break;
    case Property::LastModificationTime: SetDate(cell, item.modified); break;
    case Property::MessageClass: SetText(cell, KindClassName(kind)); break;
    case Property::ReminderTime: SetDate(cell, item.reminder); break;
    case Property::DueDate:
        if (task) SetDate(cell, item.due);
        break;
    case Property::Complete:
        if (task) SetBool(cell, item.complete);
        break;
    case Property::PercentComplete:
        if (task) SetLong(cell, item.complete ? 100 : 0);
        break;
    case Property::IsRecurring:
        if (task || kind == ItemKind::Appointment) SetBool(cell, false);
        break;
    }
}

// A SAFEARRAY owned until it is handed out in a VARIANT.
using UniqueSafeArray = wl::UniqueAny<SAFEARRAY*, &::SafeArrayDestroy>;

// The elements of a SAFEARRAY of VARIANTs, locked while the object lives.
class SafeArrayCells {
public:
    explicit SafeArrayCells(SAFEARRAY* array) : m_array(array)
    {
        if (FAILED(::SafeArrayAccessData(array, reinterpret_cast<void**>(&m_cells)))) throw std::bad_alloc();
    }
    SafeArrayCells(const SafeArrayCells&) = delete;
    SafeArrayCells& operator=(const SafeArrayCells&) = delete;
    ~SafeArrayCells() { (void)::SafeArrayUnaccessData(m_array); }
    VARIANT* operator[](size_t i) const noexcept { return &m_cells[i]; }

private:
    SAFEARRAY* m_array;
    VARIANT* m_cells = nullptr;
};

void SetArray(VARIANT* result, UniqueSafeArray array)
{
    result->vt = VT_ARRAY | VT_VARIANT;
    result->parray = array.release();
}

// rows x columns, zero-based; the first index is the row. The cells of one
// column follow each other in memory (the first index varies fastest).
// With columnFirst, columns x rows instead (the row index varies fastest in
// memory then).
UniqueSafeArray Grid(const std::vector<std::shared_ptr<ItemData>>& rows, const std::vector<Property>& columns,
                     bool columnFirst = false)
{
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows.size()), 0}, {static_cast<ULONG>(columns.size()), 0}};
    if (columnFirst) std::swap(bounds[0], bounds[1]);
    UniqueSafeArray array(::SafeArrayCreate(VT_VARIANT, 2, bounds));
    if (!array) throw std::bad_alloc();
    if (rows.empty() || columns.empty()) return array;
    SafeArrayCells cells(array.get());
    for (size_t c = 0; c < columns.size(); ++c)
        for (size_t r = 0; r < rows.size(); ++r)
            SetCell(cells[columnFirst ? c + r * columns.size() : r + c * rows.size()], *rows[r], columns[c]);
    return array;
}

// What GetArray gives when the rows it counted on are gone: no elements at all.
UniqueSafeArray NoElements()
{
    SAFEARRAYBOUND bounds[2] = {{0, 0}, {0, 0}};
    UniqueSafeArray array(::SafeArrayCreate(VT_VARIANT, 2, bounds));
    if (!array) throw std::bad_alloc();
    return array;
}

UniqueSafeArray Line(const ItemData& item, const std::vector<Property>& columns)
{
    SAFEARRAYBOUND bounds[1] = {{static_cast<ULONG>(columns.size()), 0}};
    UniqueSafeArray array(::SafeArrayCreate(VT_VARIANT, 1, bounds));
    if (!array) throw std::bad_alloc();
    if (columns.empty()) return array;
    SafeArrayCells cells(array.get());
    for (size_t c = 0; c < columns.size(); ++c) SetCell(cells[c], item, columns[c]);
    return array;
}

// A column given by its 1-based number or its name.
size_t ColumnIndex(const std::vector<Property>& columns, const VARIANT* index)
{
    if (ArgType(index) == VT_BSTR) {
        Property wanted = PropertyNamed(ArgText(index));
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i] == wanted) return i;
        throw DispError{E_INVALIDARG, L"The property \"" + std::wstring(NameOf(wanted)) + L"\" is not a column."};
    }
    long i = ArgLong(index);
    if (i < 1 || static_cast<size_t>(i) > columns.size()) throw DispError{DISP_E_BADINDEX, L"Array index out of bounds."};
    return static_cast<size_t>(i - 1);
}

// What a Table, its Columns and their Column objects share. Rows are the
// folder's items taken when the table was made or last reset (MoveToStart,
// a change of columns); one deleted, moved or no longer matching the filter
// since is skipped, one added since shows after the next reset.
struct TableState {
    FolderData* folder = nullptr;
    std::optional<bool> complete;  // the filter
    bool hiddenItems = false;      // olHiddenItems: the stand-in has none
    std::vector<Property> columns;
    std::vector<std::shared_ptr<ItemData>> rows;
    size_t next = 0;  // the row GetNextRow and GetArray read next
    size_t handedOut = 0;  // rows GetArray gave, for option table-rows-vanish

    bool InTable(const ItemData& item) const
    {
        return !hiddenItems && !item.deleted && item.folder == folder && (!complete || item.complete == *complete);
    }
    void Reset()
    {
        rows.clear();
        next = 0;
        for (auto& item : folder->items)
            if (InTable(*item)) rows.push_back(item);
    }
    bool AtEnd()
    {
        while (next < rows.size() && !InTable(*rows[next])) ++next;
        return next >= rows.size();
    }
    // The next row, nullptr at the end of the table.
    std::shared_ptr<ItemData> Next() { return AtEnd() ? nullptr : rows[next++]; }
    long RowCount() const
    {
        long n = 0;
        for (auto& item : rows)
            if (InTable(*item)) ++n;
        return n;
    }
};

wl::ComPtr<IDispatch> NewColumns(const std::shared_ptr<TableState>& table);

// OlObjectClass values.
constexpr long kClassTable = 120;
constexpr long kClassRow = 121;
constexpr long kClassColumns = 150;
constexpr long kClassColumn = 154;

class Table final : public Automation<> {
public:
    explicit Table(std::shared_ptr<TableState> state) : m_state(std::move(state)) {}
    std::wstring Kind() const override { return L"Table"; }
    std::wstring Ref() const override { return L"Table:" + Model::RefName(*m_state->folder); }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"GetArray", 0x101, MemberType::Method, {L"MaxRows"}, 1},
            {L"GetNextRow", 0x102, MemberType::Method, {}},
            {L"GetRowCount", 0x103, MemberType::Method, {}},
            {L"MoveToStart", 0x104, MemberType::Method, {}},
            {L"EndOfTable", 0x105, MemberType::Get, {}},
            {L"Columns", 0x106, MemberType::Get, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override;

private:
    std::shared_ptr<TableState> m_state;
};

class Row final : public Automation<> {
public:
    Row(std::shared_ptr<TableState> table, std::shared_ptr<ItemData> item)
        : m_table(std::move(table)), m_item(std::move(item)), m_columns(m_table->columns)
    {
    }
    std::wstring Kind() const override { return L"Row"; }
    std::wstring Ref() const override { return L"Row:" + m_item->entryId; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Item", DISPID_VALUE, MemberType::Method, {L"Index"}, 1},
            {L"GetValues", 0x101, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        switch (member.id) {
        case DISPID_VALUE: SetCell(result, *m_item, m_columns[ColumnIndex(m_columns, args.At(0))]); break;
        case 0x101: SetArray(result, Line(*m_item, m_columns)); break;
        case kIdParent: SetObject(result, Make<Table>(m_table)); break;
        case kIdClass: SetLong(result, kClassRow); break;
        default: CommonCall(member.id, result); break;
        }
    }

private:
    std::shared_ptr<TableState> m_table;
    std::shared_ptr<ItemData> m_item;
    std::vector<Property> m_columns;  // as when the row was read
};

class Column final : public Automation<> {
public:
    Column(std::shared_ptr<TableState> table, Property property) : m_table(std::move(table)), m_property(property) {}
    std::wstring Kind() const override { return L"Column"; }
    std::wstring Ref() const override { return L"Column"; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Name", 0x101, MemberType::Get, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs&, VARIANT* result) override
    {
        switch (member.id) {
        case 0x101: SetText(result, NameOf(m_property)); break;
        case kIdParent: SetObject(result, NewColumns(m_table)); break;
        case kIdClass: SetLong(result, kClassColumn); break;
        default: CommonCall(member.id, result); break;
        }
    }

private:
    std::shared_ptr<TableState> m_table;
    Property m_property;
};

class Columns final : public Automation<> {
public:
    explicit Columns(std::shared_ptr<TableState> table) : m_table(std::move(table)) {}
    std::wstring Kind() const override { return L"Columns"; }
    std::wstring Ref() const override { return L"Columns:" + Model::RefName(*m_table->folder); }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Count", 0x50, MemberType::Get, {}},
            {L"Item", DISPID_VALUE, MemberType::Method, {L"Index"}, 1},
            {L"Add", 0x5F, MemberType::Method, {L"Name"}, 1},
            {L"Remove", 0x54, MemberType::Method, {L"Index"}, 1},
            {L"RemoveAll", 0x101, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        TableState& t = *m_table;
        switch (member.id) {
        case 0x50: SetLong(result, static_cast<long>(t.columns.size())); break;
        case DISPID_VALUE: SetObject(result, Make<Column>(m_table, t.columns[ColumnIndex(t.columns, args.At(0))])); break;
        // A change of columns resets the table to before its first row, as Outlook's does.
        case 0x5F: {
            Property added = PropertyNamed(ArgText(args.At(0)));
            t.columns.push_back(added);
            t.Reset();
            SetObject(result, Make<Column>(m_table, added));
            break;
        }
        case 0x54:
            t.columns.erase(t.columns.begin() + static_cast<std::ptrdiff_t>(ColumnIndex(t.columns, args.At(0))));
            t.Reset();
            break;
        case 0x101:
            t.columns.clear();
            t.Reset();
            break;
        case kIdParent: SetObject(result, Make<Table>(m_table)); break;
        case kIdClass: SetLong(result, kClassColumns); break;
        default: CommonCall(member.id, result); break;
        }
    }

private:
    std::shared_ptr<TableState> m_table;
};

wl::ComPtr<IDispatch> NewColumns(const std::shared_ptr<TableState>& table) { return Make<Columns>(table); }

void Table::Call(const Member& member, const CallArgs& args, VARIANT* result)
{
    TableState& t = *m_state;
    switch (member.id) {
    case 0x101: {
        long maxRows = ArgLong(args.At(0));
        if (maxRows < 1) throw DispError{E_INVALIDARG, kBadParameterText};
        const ScenarioOptions& options = TheServer().options;
        if (options.rowsBeforeVanish && t.handedOut >= *options.rowsBeforeVanish) {
            SetArray(result, NoElements());
            break;
        }
        std::vector<std::shared_ptr<ItemData>> batch;
        while (batch.size() < static_cast<size_t>(maxRows)) {
            if (options.rowsBeforeVanish && t.handedOut + batch.size() >= *options.rowsBeforeVanish) break;
            auto row = t.Next();
            if (!row) break;
            batch.push_back(std::move(row));
        }
        t.handedOut += batch.size();
        SetArray(result, Grid(batch, t.columns, options.arrayColumnFirst));
        break;
    }
    case 0x102: {
        auto row = t.Next();
        SetObject(result, row ? Make<Row>(m_state, row) : nullptr);
        break;
    }
    case 0x103: SetLong(result, t.RowCount()); break;
    case 0x104: t.Reset(); break;
    case 0x105: SetBool(result, t.AtEnd()); break;
    case 0x106: SetObject(result, NewColumns(m_state)); break;
    case kIdParent: SetObject(result, NewFolder(t.folder)); break;
    case kIdClass: SetLong(result, kClassTable); break;
    default: CommonCall(member.id, result); break;
    }
}

}  // namespace

wl::ComPtr<IDispatch> NewTable(FolderData* folder, std::optional<bool> complete, bool hiddenItems)
{
    auto state = std::make_shared<TableState>();
    state->folder = folder;
    state->complete = complete;
    state->hiddenItems = hiddenItems;
    state->columns = DefaultColumns(*folder, hiddenItems);
    state->Reset();
    return Make<Table>(std::move(state));
}

}  // namespace standin
