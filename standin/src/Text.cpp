#include "Text.h"

#include "core/win32.h"

#include <oleauto.h>

#include <cstdio>
#include <cwctype>

namespace standin {

std::string Utf8(std::wstring_view text)
{
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::wstring Lower(std::wstring_view text)
{
    std::wstring out(text);
    if (!out.empty()) ::CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && Lower(a) == Lower(b);
}

std::wstring Trim(std::wstring_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && std::iswspace(text[b])) ++b;
    while (e > b && std::iswspace(text[e - 1])) --e;
    return std::wstring(text.substr(b, e - b));
}

std::vector<std::wstring> Tokenize(std::wstring_view line)
{
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::iswspace(line[i])) ++i;
        if (i >= line.size()) break;
        std::wstring word;
        bool quoted = false;
        while (i < line.size() && (quoted || !std::iswspace(line[i]))) {
            wchar_t c = line[i++];
            if (c == L'"') {
                quoted = !quoted;
            } else if (quoted && c == L'\\' && i < line.size() && (line[i] == L'"' || line[i] == L'\\')) {
                word += line[i++];
            } else {
                word += c;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

Field SplitField(const std::wstring& word)
{
    Field f;
    size_t eq = word.find(L'=');
    if (eq == std::wstring::npos) {
        f.name = Lower(word);
        return f;
    }
    f.name = Lower(word.substr(0, eq));
    f.value = word.substr(eq + 1);
    f.hasValue = true;
    return f;
}

namespace {

double ToDate(const SYSTEMTIME& st)
{
    double d = 0;
    SYSTEMTIME copy = st;
    ::SystemTimeToVariantTime(&copy, &d);
    return d;
}

double TodayMidnight()
{
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
    return ToDate(st);
}

bool ReadInt(std::wstring_view s, size_t& i, size_t digits, int& out)
{
    if (i + digits > s.size()) return false;
    int v = 0;
    for (size_t k = 0; k < digits; ++k) {
        wchar_t c = s[i + k];
        if (c < L'0' || c > L'9') return false;
        v = v * 10 + (c - L'0');
    }
    i += digits;
    out = v;
    return true;
}

}  // namespace

double NowDate()
{
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    st.wMilliseconds = 0;
    return ToDate(st);
}

std::optional<double> ParseDate(std::wstring_view raw)
{
    std::wstring text = Lower(Trim(raw));
    if (text == L"none") return kNoDate;
    if (text == L"tomorrow") return TodayMidnight() + 1;
    if (text == L"yesterday") return TodayMidnight() - 1;

    for (std::wstring_view base : {std::wstring_view(L"today"), std::wstring_view(L"now")}) {
        if (text.rfind(base, 0) != 0) continue;
        double start = base == L"today" ? TodayMidnight() : NowDate();
        std::wstring rest = Trim(std::wstring_view(text).substr(base.size()));
        if (rest.empty()) return start;
        if (rest[0] != L'+' && rest[0] != L'-') return std::nullopt;
        double sign = rest[0] == L'-' ? -1 : 1;
        size_t i = 1;
        while (i < rest.size() && rest[i] == L' ') ++i;
        size_t numStart = i;
        long n = 0;
        while (i < rest.size() && rest[i] >= L'0' && rest[i] <= L'9') n = n * 10 + (rest[i++] - L'0');
        if (i == numStart) return std::nullopt;
        std::wstring unit = rest.substr(i);
        double days;
        if (unit == L"d" || unit.empty()) days = n;
        else if (unit == L"h") days = n / 24.0;
        else if (unit == L"m") days = n / 1440.0;
        else return std::nullopt;
        return start + sign * days;
    }

    // YYYY-MM-DD[ HH:MM[:SS]]
    SYSTEMTIME st{};
    size_t i = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!ReadInt(text, i, 4, y) || i >= text.size() || text[i++] != L'-') return std::nullopt;
    if (!ReadInt(text, i, 2, mo) || i >= text.size() || text[i++] != L'-') return std::nullopt;
    if (!ReadInt(text, i, 2, d)) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != L' ' && text[i] != L't') return std::nullopt;
        ++i;
        if (!ReadInt(text, i, 2, h) || i >= text.size() || text[i++] != L':') return std::nullopt;
        if (!ReadInt(text, i, 2, mi)) return std::nullopt;
        if (i < text.size()) {
            if (text[i++] != L':' || !ReadInt(text, i, 2, s)) return std::nullopt;
        }
        if (i != text.size()) return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return std::nullopt;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    double out = 0;
    if (!::SystemTimeToVariantTime(&st, &out)) return std::nullopt;
    return out;
}

std::wstring JournalDate(double date)
{
    SYSTEMTIME st{};
    if (!::VariantTimeToSystemTime(date, &st)) return L"#invalid#";
    wchar_t buf[64];
    std::swprintf(buf, 64, L"#%04u-%02u-%02u %02u:%02u:%02u#", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                  st.wSecond);
    return buf;
}

std::wstring ShortDate(double date)
{
    if (date == kNoDate) return L"none";
    SYSTEMTIME st{};
    if (!::VariantTimeToSystemTime(date, &st)) return L"?";
    wchar_t buf[64];
    if (st.wHour == 0 && st.wMinute == 0)
        std::swprintf(buf, 64, L"%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
    else
        std::swprintf(buf, 64, L"%04u-%02u-%02u %02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute);
    return buf;
}

std::wstring HexResult(HRESULT hr)
{
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::optional<HRESULT> ParseResult(std::wstring_view text)
{
    std::wstring t = Lower(Trim(text));
    if (t.empty()) return std::nullopt;
    try {
        size_t used = 0;
        if (t.rfind(L"0x", 0) == 0) {
            unsigned long long v = std::stoull(t.substr(2), &used, 16);
            if (used + 2 != t.size() || v > 0xFFFFFFFFull) return std::nullopt;
            return static_cast<HRESULT>(static_cast<unsigned long>(v));
        }
        long long v = std::stoll(t, &used, 10);
        if (used != t.size() || v < -2147483648LL || v > 0xFFFFFFFFLL) return std::nullopt;
        return static_cast<HRESULT>(static_cast<unsigned long>(v));
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<DWORD> ParseMilliseconds(std::wstring_view text)
{
    std::wstring t = Trim(text);
    if (t.empty() || t.size() > 9) return std::nullopt;  // up to about 11 days
    DWORD ms = 0;
    for (wchar_t c : t) {
        if (c < L'0' || c > L'9') return std::nullopt;
        ms = ms * 10 + static_cast<DWORD>(c - L'0');
    }
    return ms;
}

std::wstring Quoted(std::wstring_view text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') out += L'"';
        out += c;
    }
    out += L'"';
    return out;
}

std::wstring WindowsPath(const std::wstring& path, const std::wstring& baseDir)
{
    if (path.empty()) return path;
    if (path[0] == L'/') {
        // Under Wine, let Wine say where the Unix file is; Z: is its default mapping.
        using ToDos = WCHAR* (*)(const char*);
        if (HMODULE k = ::GetModuleHandleW(L"kernel32.dll")) {
            if (auto fn = reinterpret_cast<ToDos>(
                    reinterpret_cast<void*>(::GetProcAddress(k, "wine_get_dos_file_name")))) {
                if (WCHAR* dos = fn(Utf8(path).c_str())) {
                    std::wstring out(dos);
                    ::HeapFree(::GetProcessHeap(), 0, dos);
                    return out;
                }
            }
        }
        std::wstring out = L"Z:" + path;
        for (auto& c : out)
            if (c == L'/') c = L'\\';
        return out;
    }
    bool absolute = (path.size() > 1 && path[1] == L':') || path[0] == L'\\';
    return absolute ? path : baseDir + path;
}

std::wstring ExeFolder()
{
    std::wstring buf = wl::ExecutablePath();
    size_t slash = buf.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : buf.substr(0, slash + 1);
}

}  // namespace standin
