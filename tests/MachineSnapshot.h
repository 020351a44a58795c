// Snapshots of registry and files for the end-to-end runs, read without the code under test.
#pragma once

#include "product/UPaths.h"
#include "support/UText.h"
#include "tests/TestSupport.h"

#include <map>
#include <set>

namespace vktest {

// Entry name -> "<key>", "<dir>", a value's "type:data" or a file's content.
using TSnapshot = std::map<std::wstring, std::string>;

// Every key and value below root\path, named rootName\path; the key skip is left out.
inline void SnapKey(HKEY root, const std::wstring& rootName, const std::wstring& path,
                    TSnapshot& out, const std::wstring& skip = L"") {
    HKEY opened = nullptr;
    if ((!skip.empty() && path == skip) ||
        RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    const handles::RegKey key(opened);
    const std::wstring name = rootName + L"\\" + path;
    out[name] = "<key>";
    constexpr DWORD NameMax = 16384;  // the longest key and value name
    DWORD maxData = 0, length = 0, size = 0, type = 0;
    RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &maxData, nullptr, nullptr);
    std::vector<wchar_t> text(NameMax);
    std::vector<char> data(maxData + 2);
    for (DWORD i = 0; length = NameMax, size = maxData + 2,
               RegEnumValueW(opened, i, text.data(), &length, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS;
         ++i)
        out[name + L" : " + std::wstring(text.data(), length)] =
            std::to_string(type) + ":" + std::string(data.data(), size);
    for (DWORD i = 0; length = NameMax, RegEnumKeyExW(opened, i, text.data(), &length, nullptr,
                                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i)
        SnapKey(root, rootName, path.empty() ? text.data() : path + L"\\" + text.data(), out, skip);
}

// Every directory and file (with content) below dir; not recursive: dir's entries, size and time.
inline void SnapFiles(const std::wstring& dir, bool recursive, TSnapshot& out) {
    WIN32_FIND_DATAW entry;
    const handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName, path = dir + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        const bool isDir = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        out[path] = isDir       ? "<dir>"
                    : recursive ? ReadFileBytes(path)
                                : std::to_string(entry.nFileSizeLow) + "@" +
                                      std::to_string(entry.ftLastWriteTime.dwLowDateTime);
        if (isDir && recursive)
            SnapFiles(path, true, out);
    }
}

// Both registry roots, everything below root, the Windows and system folders' own files; not
// Wine's video key, which it writes whenever a process first reaches the desktop.
inline TSnapshot SnapMachine(const std::wstring& root) {
    TSnapshot snapshot;
    SnapKey(HKEY_LOCAL_MACHINE, L"HKLM", L"", snapshot,
            L"System\\CurrentControlSet\\Control\\Video");
    SnapKey(HKEY_CURRENT_USER, L"HKCU", L"", snapshot);
    SnapFiles(root, true, snapshot);
    SnapFiles(BaseDir(dcWindows), false, snapshot);
    SnapFiles(BaseDir(dcSystem), false, snapshot);
    return snapshot;
}

// The entries directly in the temporary folder.
inline TSnapshot TempEntries() {
    TSnapshot entries;
    const std::wstring temp = BaseDir(dcTemp);
    SnapFiles(temp.substr(0, temp.find_last_not_of(L'\\') + 1), false, entries);
    return entries;
}

// Whether Wine's list of installed programs names the product; listing: a scratch file.
inline bool ListedByWine(const std::wstring& listing) {
    const std::wstring system = BaseDir(dcSystem);
    ChildProcess cmd;
    StartProcess(cmd, system + L"\\cmd.exe",
                 L"/c " + system + L"\\uninstaller.exe --list > \"" + listing + L"\"");
    DWORD exitCode = 0;
    EXPECT_TRUE(cmd && cmd.Wait(60000, exitCode)) << "no list: " << cmd.StartError;
    return ReadFileBytes(listing).find("Brightmoss Velkora v4.07") != std::string::npos;
}

// What the test IDEs' installation leaves after its uninstall, by rows without undo records: the
// run-time packages in the system folder, the merged keywords, the deleted help cache, BDS 2009's
// reload request, the Windows help key (the undo removes values only). cb6: C++Builder 6's folder.
inline std::set<std::string> LeftByDesign(const std::wstring& cb6) {
    const std::string system = "added " + ToAnsi(BaseDir(dcSystem)) + "\\vkl",
                      cb6Help = ToAnsi(cb6 + L"\\Help\\bcb6.");
    return {system + "60.bpl",
            system + "2009.bpl",
            system + "270.bpl",
            system + "280.bpl",
            "changed " + cb6Help + "als",
            "removed " + cb6Help + "gid",
            "added HKCU\\Software\\CodeGear\\BDS\\6.0\\Globals : ForceEnvOptionsUpdate",
            "added HKLM\\Software\\Microsoft\\Windows\\Help"};
}

// One line per entry "removed", "changed" or "added" from before to after.
inline std::set<std::string> Differences(const TSnapshot& before, const TSnapshot& after) {
    std::set<std::string> lines;
    for (const auto& [name, value] : before)
        if (const auto found = after.find(name); found == after.end())
            lines.insert("removed " + ToAnsi(name));
        else if (found->second != value)
            lines.insert("changed " + ToAnsi(name));
    for (const auto& [name, value] : after)
        if (!before.count(name))
            lines.insert("added " + ToAnsi(name));
    return lines;
}

}  // namespace vktest
