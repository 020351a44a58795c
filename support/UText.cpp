#include "support/UText.h"

#include <windows.h>

#include <climits>

namespace {

// Single forward scan: after a failed partial match it only retries the
// current character against the first pattern character, never stepping back.
template <typename String> int ForwardScan(const String& text, const String& pattern) {
    if (text.empty() || pattern.empty())
        return 0;
    size_t i = 0;  // index into pattern of the character to match next
    size_t start = 0;
    for (size_t j = 0; j < text.size(); ++j) {
        if (text[j] != pattern[i])
            i = 0;
        if (text[j] == pattern[i]) {
            if (i == 0)
                start = j;
            ++i;
            if (i >= pattern.size())
                return static_cast<int>(start + 1);
        }
    }
    return 0;
}

std::string WideToMultiByte(UINT codePage, const std::wstring& text) {
    if (text.empty() || text.size() > INT_MAX / 4)
        return {};
    int length = static_cast<int>(text.size());
    int needed =
        WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}

std::wstring MultiByteToWide(UINT codePage, const std::string& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), needed);
    return result;
}

// A system directory read into a 260-character buffer; empty when the call fails or the

}  // namespace

int FindText(const std::wstring& text, const std::wstring& pattern) {
    return ForwardScan(text, pattern);
}

int FindTextA(const std::string& text, const std::string& pattern) {
    return ForwardScan(text, pattern);
}

int LastCharPos(const std::wstring& text, wchar_t ch) {
    size_t position = text.rfind(ch);
    return position == std::wstring::npos ? 0 : static_cast<int>(position + 1);
}

std::wstring LowerCase(std::wstring text) {
    if (!text.empty() && text.size() <= MAXDWORD)
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string LowerCaseA(std::string text) {
    if (!text.empty() && text.size() <= MAXDWORD)
        CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// ---- Encodings ----

std::string ToAnsi(const std::wstring& text) {
    return WideToMultiByte(CP_ACP, text);
}

std::wstring FromAnsi(const std::string& text) {
    return MultiByteToWide(CP_ACP, text);
}

std::string ToUtf8(const std::wstring& text) {
    return WideToMultiByte(CP_UTF8, text);
}

std::wstring FromUtf8(const std::string& text) {
    return MultiByteToWide(CP_UTF8, text);
}
