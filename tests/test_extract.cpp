// The extraction run end to end: setup.exe /X started under Wine in a fresh directory, its
// output compared with the payload files it was built from.
#include "script/UScriptItems.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

using namespace vktest;

namespace {

// Every value below a registry key, recursively: "key\value" -> type and data.
using RegistrySnapshot = std::map<std::wstring, std::pair<DWORD, std::string>>;

// Test programs keep their scratch keys here while they run, in parallel with this test.
const wchar_t* const ScratchKey = L"HKCU\\Software\\VelkoraTests";

void Snapshot(HKEY root, const std::wstring& path, const std::wstring& name,
              RegistrySnapshot& into) {
    if (name == ScratchKey)
        return;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    into[name + L"\\"] = {0, {}};
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameLength = 16384;
        RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size);
        into[name + L"\\" + std::wstring(valueName, nameLength)] = {type, data};
    }
    for (DWORD i = 0;; ++i) {
        wchar_t subkey[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, subkey, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const std::wstring sub(subkey, length);
        Snapshot(root, path + L"\\" + sub, name + L"\\" + sub, into);
    }
    RegCloseKey(key);
}

RegistrySnapshot SoftwareKeys() {
    RegistrySnapshot snapshot;
    Snapshot(HKEY_LOCAL_MACHINE, L"Software", L"HKLM\\Software", snapshot);
    Snapshot(HKEY_CURRENT_USER, L"Software", L"HKCU\\Software", snapshot);
    return snapshot;
}

// Files and directories below root, relative to it ("Source\VklStore.pas", "Source\").
std::set<std::wstring> Tree(const std::wstring& root, const std::wstring& relative = L"") {
    std::set<std::wstring> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((root + L"\\" + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries.insert(relative + name + L"\\");
            for (const std::wstring& inner : Tree(root, relative + name + L"\\"))
                entries.insert(inner);
        } else {
            entries.insert(relative + name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

// The source of an extracted file: the payload folder, or the build for the built library.
std::wstring PayloadSource(const std::wstring& name) {
    if (name == L"Source\\vkabout.dll")
        return BuildDir() + L"\\vkabout.dll";
    return SourceDir() + L"\\resources\\payload\\" + name;
}

struct WindowSearch {
    DWORD ProcessId;
    bool Found;
};

BOOL CALLBACK FindProcessWindow(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner == search->ProcessId)
        search->Found = true;
    return !search->Found;
}

// True when any top-level window belongs to processId.
bool HasWindow(DWORD processId) {
    WindowSearch search{processId, false};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

class ExtractionRun : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        // setup.exe runs in its own process and sees the prefix's real keys; so must the
        // registry comparison, so this process gives up the scratch roots.
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }

    // Runs setup.exe /X in the test directory; answers its exit code, and whether it ever
    // showed a window while it ran (a message box would also keep it from ending).
    DWORD RunExtraction(bool& showedWindow) {
        ChildProcess child;
        StartProcess(child, BuildDir() + L"\\setup.exe", L"/X", TempDir);
        EXPECT_TRUE(child) << "setup.exe did not start: " << child.StartError;
        showedWindow = false;
        DWORD code = STILL_ACTIVE;
        for (int waited = 0; child && waited < 30000; waited += 10) {
            showedWindow = showedWindow || HasWindow(child.Info.dwProcessId);
            if (child.Wait(10, code))
                return code;
        }
        if (child)
            TerminateProcess(child.Info.hProcess, 1);
        ADD_FAILURE() << "setup.exe /X did not end";
        return code;
    }

    // The written tree must be exactly the table's directories and files.
    void ExpectTheWholePayload() {
        std::set<std::wstring> expected;
        int files = 0;
        for (int i = 0; i < ScriptItemCount; ++i) {
            const TScriptItem& item = ScriptItems[i];
            const std::wstring name = item.Name ? item.Name : L"";
            if (item.ItemType == siCreateDir && !name.empty())
                expected.insert(name + L"\\");
            if (item.ItemType == siExtractFile) {
                expected.insert(name);
                ++files;
            }
        }
        ASSERT_EQ(files, 266);
        ASSERT_EQ(expected.size(), 266u + 58u);
        EXPECT_EQ(Tree(TempDir), expected);
        for (const std::wstring& name : expected) {
            if (name.back() == L'\\')
                continue;
            const std::string written = ReadFileBytes(TempPath(name));
            const std::string source = ReadFileBytes(PayloadSource(name));
            EXPECT_FALSE(source.empty()) << "no payload file for " << Narrow(name);
            EXPECT_TRUE(written == source) << Narrow(name) << " differs from its payload file";
        }
    }

    static std::string Narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }
};

} // namespace

TEST_F(ExtractionRun, WritesExactlyThePayloadTreeWithoutWindowOrRegistryChange) {
    const RegistrySnapshot before = SoftwareKeys();
    ASSERT_FALSE(before.empty());
    bool showedWindow = true;
    EXPECT_EQ(RunExtraction(showedWindow), 0u);
    EXPECT_FALSE(showedWindow);
    ExpectTheWholePayload();
    // Neither the templates file nor the uninstaller is written by the extraction run.
    EXPECT_FALSE(PathExists(TempPath(L"unbrm.exe")));
    EXPECT_FALSE(PathExists(TempPath(L"vklib.dct")));
    const RegistrySnapshot after = SoftwareKeys();
    EXPECT_TRUE(after == before) << "registry entries before: " << before.size()
                                 << ", after: " << after.size();
    for (const auto& [name, value] : after)
        if (!before.count(name))
            ADD_FAILURE() << "new registry entry " << Narrow(name);
}

TEST_F(ExtractionRun, ASecondRunRestoresChangedAndMissingFiles) {
    bool showedWindow = true;
    ASSERT_EQ(RunExtraction(showedWindow), 0u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"Source\\VklStore.pas"), "changed"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"RADStudio22\\dcc64.cfg"), ""));
    ASSERT_TRUE(DeleteFileW(TempPath(L"Help\\vklib.hlp").c_str()));
    RemoveTree(TempPath(L"Demos"));
    EXPECT_EQ(RunExtraction(showedWindow), 0u);
    EXPECT_FALSE(showedWindow);
    ExpectTheWholePayload();
}
