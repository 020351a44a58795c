// Registry values and key trees. Each function opens and closes its own key and answers a
// Boolean; none throws.
#pragma once

#include <windows.h>

#include <string>

// True and the value when it is a REG_SZ; false and empty text otherwise.
bool ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                   std::wstring& text);
// True when a value of up to 4 bytes was read (its type is not checked); value 0 otherwise.
bool ReadRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& value);
// Creates the key when needed and stores a REG_SZ with its terminator. True on success.
bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text);
// Creates the key when needed and stores a REG_DWORD. True on success.
bool WriteRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
// Creates or opens the key and closes it. True on success.
bool CreateRegKey(HKEY root, const std::wstring& key);
// False when the key cannot be opened for writing or the value not deleted.
bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name);
// Deletes every subkey of an open key, deepest first; unreadable subkeys are skipped.
void DeleteSubKeys(HKEY key);
// Deletes the key's subtree, the key, and each ancestor this left empty. False only when the
// key itself cannot be opened.
bool DeleteRegKeyTree(HKEY root, const std::wstring& key);
// Deletes the subkey `name` of root\parent with its whole subtree, and nothing above it. True
// when it is gone afterwards (also when it was never there).
bool DeleteRegSubKeyTree(HKEY root, const std::wstring& parent, const std::wstring& name);
