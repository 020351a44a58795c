// Snapshots of the machine for the end-to-end runs: registry keys and values, files and
// directories, compared entry by entry (read without the code under test).
#pragma once

#include "product/UPaths.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "tests/TestSupport.h"

#include <map>
#include <set>
#include <string>
#include <vector>

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
    DWORD maxValue = 0;
    RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &maxValue, nullptr, nullptr);
    std::vector<wchar_t> text(16384);  // the longest key and value name
    std::vector<BYTE> data(maxValue + 2);
    DWORD length = 16384, size = maxValue + 2, type = 0;
    for (DWORD i = 0; RegEnumValueW(opened, i, text.data(), &length, nullptr, &type, data.data(),
                                    &size) == ERROR_SUCCESS;
         ++i, length = 16384, size = maxValue + 2)
        out[name + L" : " + std::wstring(text.data(), length)] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), size);
    for (DWORD i = 0; length = 16384, RegEnumKeyExW(opened, i, text.data(), &length, nullptr,
                                                    nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i)
        SnapKey(root, rootName, path.empty() ? text.data() : path + L"\\" + text.data(), out, skip);
}

// Every directory and file (with its content) below dir; or, not recursive, only dir's own
// entries with size and time (for the system's directories).
inline void SnapFiles(const std::wstring& dir, bool recursive, TSnapshot& out) {
    WIN32_FIND_DATAW entry;
    const handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName, path = dir + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[path] = "<dir>";
            if (recursive)
                SnapFiles(path, true, out);
        } else {
            out[path] = recursive ? ReadFileBytes(path)
                                  : std::to_string(entry.nFileSizeLow) + "@" +
                                        std::to_string(entry.ftLastWriteTime.dwLowDateTime);
        }
    }
}

// One line per entry "removed", "changed" or "added" from before to after.
// What an installation may change on a test machine: both registry roots, every file below root
// (the test IDEs and the installation), and the files directly in the Windows and system folders.
// Wine registers its display driver under the video key whenever a process first reaches the
// desktop, which happens at a different moment in each run: that key is Wine's, not ours.
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

// Whether the product is in Wine's own list of installed programs; listing is a scratch file
// outside the compared directories.
inline bool ListedByWine(const std::wstring& listing) {
    const std::wstring system = BaseDir(dcSystem);
    ChildProcess cmd;
    StartProcess(cmd, system + L"\\cmd.exe",
                 L"/c " + system + L"\\uninstaller.exe --list > \"" + listing + L"\"");
    DWORD exitCode = 0;
    EXPECT_TRUE(cmd && cmd.Wait(60000, exitCode)) << "no list: " << cmd.StartError;
    return ReadFileBytes(listing).find("Brightmoss Velkora v4.07") != std::string::npos;
}

// What an installation with the test IDEs leaves after its uninstall, as the item definitions
// make it, none of which has an undo record: the run-time packages copied to the system directory
// (no siCopyFileTo row is logged), the keyword file keeps the merged keywords (siMergeFiles), the
// IDE's help cache stays deleted (the IDE rebuilds it), BDS 2009 keeps its request to reload its
// options, and the Windows help key that the first WinHelp value created stays (the undo removes
// values only). cb6 is C++Builder 6's directory.
inline std::set<std::string> LeftByDesign(const std::wstring& cb6) {
    const std::string system = "added " + ToAnsi(BaseDir(dcSystem)) + "\\",
                      cb6Help = ToAnsi(cb6 + L"\\Help\\bcb6.");
    return {system + "vkl60.bpl",
            system + "vkl2009.bpl",
            system + "vkl270.bpl",
            system + "vkl280.bpl",
            "changed " + cb6Help + "als",
            "removed " + cb6Help + "gid",
            "added HKCU\\Software\\CodeGear\\BDS\\6.0\\Globals : ForceEnvOptionsUpdate",
            "added HKLM\\Software\\Microsoft\\Windows\\Help"};
}

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
