#include "product/URegistry.h"

#include "product/UConst.h"
#include "support/UText.h"

#include "support/UHandles.h"

#include <vector>

using handles::RegKey;

namespace {

// Access used to walk and delete a key's subtree (0x2001F).
constexpr REGSAM KeyTreeAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

RegKey OpenKey(HKEY root, const std::wstring& key, REGSAM access) {
    RegKey result;
    if (RegOpenKeyExW(root, key.c_str(), 0, access, result.put()) != ERROR_SUCCESS)
        result.release();
    return result;
}

RegKey CreateKey(HKEY root, const std::wstring& key) {
    RegKey result;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, result.put(),
                        nullptr) != ERROR_SUCCESS)
        result.release();
    return result;
}

}  // namespace

bool ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                   std::wstring& text) {
    text.clear();
    RegKey handle = OpenKey(root, key, KEY_READ);
    if (!handle)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // Room for every stored byte (an odd count included) and one NUL of our own.
    std::vector<wchar_t> buffer((size + 1) / sizeof(wchar_t) + 1, L'\0');
    DWORD bufferBytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &bufferBytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // The stored terminator is not trusted: the text ends at the first NUL or at the data's
    // end, whichever comes first, so a value stored without a terminator keeps every character.
    size_t chars = bufferBytes / sizeof(wchar_t);
    text.assign(buffer.data(), wcsnlen(buffer.data(), chars));
    return true;
}

bool ReadRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& value) {
    value = 0;
    RegKey handle = OpenKey(root, key, KEY_READ);
    if (!handle)
        return false;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(handle.get(), name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    value = data;
    return true;
}

bool WriteRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                    const std::wstring& text) {
    RegKey handle = CreateKey(root, key);
    if (!handle)
        return false;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool WriteRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
    RegKey handle = CreateKey(root, key);
    if (!handle)
        return false;
    return RegSetValueExW(handle.get(), name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
}

bool CreateRegKey(HKEY root, const std::wstring& key) {
    return static_cast<bool>(CreateKey(root, key));
}

bool DeleteRegValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    RegKey handle = OpenKey(root, key, KEY_WRITE);
    if (!handle)
        return false;
    return RegDeleteValueW(handle.get(), name.c_str()) == ERROR_SUCCESS;
}

void DeleteSubKeys(HKEY key) {
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        count == 0)
        return;
    std::vector<wchar_t> name(static_cast<size_t>(longest) + 1);
    // Walked from the last index down, so deleting a subkey never shifts one still to visit.
    for (DWORD index = count; index-- > 0;) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        RegKey child;
        if (RegOpenKeyExW(key, name.data(), 0, KeyTreeAccess, child.put()) != ERROR_SUCCESS) {
            child.release();
            continue;
        }
        // RegDeleteKeyW on the NT family refuses a key that still has subkeys.
        if (OsPlatformId == VER_PLATFORM_WIN32_NT)
            DeleteSubKeys(child.get());
        RegDeleteKeyW(key, name.data());
    }
}

bool DeleteRegKeyTree(HKEY root, const std::wstring& key) {
    {
        RegKey handle = OpenKey(root, key, KeyTreeAccess);
        if (!handle)
            return false;
        DeleteSubKeys(handle.get());
    }
    std::wstring path = key;
    for (;;) {
        int separator = LastCharPos(path, L'\\');
        if (separator == 0)
            break;
        std::wstring parentPath = path.substr(0, static_cast<size_t>(separator) - 1);
        std::wstring child = path.substr(static_cast<size_t>(separator));
        RegKey parent = OpenKey(root, parentPath, KeyTreeAccess);
        if (!parent)
            break;
        DWORD subKeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyW(parent.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RegDeleteKeyW(parent.get(), child.c_str());
        // An ancestor goes only when the deleted child was all it held.
        if (values > 0 || subKeys > 1)
            break;
        path = parentPath;
    }
    return true;
}

bool DeleteRegSubKeyTree(HKEY root, const std::wstring& parent, const std::wstring& name) {
    if (name.empty())
        return false;  // would name the parent itself
    RegKey parentKey = OpenKey(root, parent, KeyTreeAccess);
    if (!parentKey)
        return false;
    {
        RegKey child;
        if (RegOpenKeyExW(parentKey.get(), name.c_str(), 0, KeyTreeAccess, child.put()) !=
            ERROR_SUCCESS) {
            child.release();
            return true;
        }
        DeleteSubKeys(child.get());
    }
    const LSTATUS status = RegDeleteKeyW(parentKey.get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
