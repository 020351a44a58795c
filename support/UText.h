// Text searches, lower-casing, and the one place that converts between UTF-16 and 8-bit text.
#pragma once

#include <string>

// 1-based position of pattern in text by a single forward scan without backtracking; 0 when
// absent or when either string is empty.
int FindText(const std::wstring& text, const std::wstring& pattern);
int FindTextA(const std::string& text, const std::string& pattern);
// 1-based position of the last ch in text; 0 when absent.
int LastCharPos(const std::wstring& text, wchar_t ch);
// Lower-cased copies with the system's lower-casing (CharLowerBuffW / CharLowerBuffA).
std::wstring LowerCase(std::wstring text);
std::string LowerCaseA(std::string text);

std::string ToAnsi(const std::wstring& text);  // system ANSI code page
std::wstring FromAnsi(const std::string& text);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
