#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using vktest::KeyExists;
using vktest::SandboxTest;

namespace {

void SetRaw(HKEY root, const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
            DWORD bytes) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

// Type and raw bytes of a value, read without the code under test.
std::pair<DWORD, std::string> RawValue(HKEY root, const wchar_t* key, const wchar_t* name) {
    BYTE data[512];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) !=
        ERROR_SUCCESS)
        return {REG_NONE, "<missing>"};
    return {type, std::string(reinterpret_cast<char*>(data), size)};
}

const wchar_t* const Key = L"Software\\Brightmoss\\Velkora";

}  // namespace

using RegistryTest = SandboxTest;

TEST_F(RegistryTest, ReadRegStringAcceptsOnlyRegSz) {
    const wchar_t text[] = L"C:\\IDE";
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Sz", REG_SZ, text, sizeof(text));
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Expand", REG_EXPAND_SZ, text, sizeof(text));
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Multi", REG_MULTI_SZ, L"a\0\0", 8);
    DWORD number = 7;
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Dword", REG_DWORD, &number, 4);

    std::wstring out = L"stale";
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, Key, L"Sz", out));
    EXPECT_EQ(out, L"C:\\IDE");
    for (const wchar_t* name : {L"Expand", L"Multi", L"Dword", L"Missing"}) {
        out = L"stale";
        EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, Key, name, out)) << name;
        EXPECT_EQ(out, L"") << name;
    }
    out = L"stale";
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, L"Software\\Nothing", L"Sz", out));
    EXPECT_EQ(out, L"");
}

TEST_F(RegistryTest, ReadRegStringDoesNotTrustTheStoredTerminator) {
    // Stored without a terminator: every character is kept.
    SetRaw(HKEY_CURRENT_USER, Key, L"Bare", REG_SZ, L"ABCD", 8);
    // Stored with extra NULs or garbage after the terminator: the text ends at the first NUL.
    SetRaw(HKEY_CURRENT_USER, Key, L"Padded", REG_SZ, L"AB\0CD\0", 12);
    // Empty data and an odd byte count.
    SetRaw(HKEY_CURRENT_USER, Key, L"Empty", REG_SZ, L"", 0);
    SetRaw(HKEY_CURRENT_USER, Key, L"Odd", REG_SZ, "A\0B", 3);
    std::wstring out;
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, Key, L"Bare", out));
    EXPECT_EQ(out, L"ABCD");
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, Key, L"Padded", out));
    EXPECT_EQ(out, L"AB");
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, Key, L"Empty", out));
    EXPECT_EQ(out, L"");
    EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, Key, L"Odd", out));
    EXPECT_EQ(out, L"A");
}

TEST_F(RegistryTest, ReadRegDwordReadsUpToFourBytesOfAnyType) {
    DWORD number = 0x12345678;
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Dword", REG_DWORD, &number, 4);
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Binary", REG_BINARY, &number, 4);
    unsigned long long wide = 1;
    SetRaw(HKEY_LOCAL_MACHINE, Key, L"Qword", REG_QWORD, &wide, 8);
    DWORD out = 99;
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, Key, L"Dword", out));
    EXPECT_EQ(out, 0x12345678u);
    EXPECT_TRUE(ReadRegDword(HKEY_LOCAL_MACHINE, Key, L"Binary", out));
    EXPECT_EQ(out, 0x12345678u);
    out = 99;
    EXPECT_FALSE(ReadRegDword(HKEY_LOCAL_MACHINE, Key, L"Qword", out)) << "does not fit 4 bytes";
    EXPECT_EQ(out, 0u);
    out = 99;
    EXPECT_FALSE(ReadRegDword(HKEY_LOCAL_MACHINE, Key, L"Missing", out));
    EXPECT_EQ(out, 0u);
}

TEST_F(RegistryTest, WritesCreateTheKeyAndStoreExactTypesAndBytes) {
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, Key, L"RootDir", L"C:\\V"));
    EXPECT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, Key, L"InstallItems", 0x1080));
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, Key, L"Empty", L""));
    auto root = RawValue(HKEY_LOCAL_MACHINE, Key, L"RootDir");
    EXPECT_EQ(root.first, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(root.second, std::string("C\0:\0\\\0V\0\0\0", 10)) << "with its terminator";
    auto items = RawValue(HKEY_LOCAL_MACHINE, Key, L"InstallItems");
    EXPECT_EQ(items.first, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(items.second, std::string("\x80\x10\0\0", 4));
    EXPECT_EQ(RawValue(HKEY_LOCAL_MACHINE, Key, L"Empty").second, std::string("\0\0", 2));
    std::wstring back;
    EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, Key, L"RootDir", back));
    EXPECT_EQ(back, L"C:\\V");
}

TEST_F(RegistryTest, CreateRegKeyAndDeleteRegValue) {
    EXPECT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\A\\B\\C"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\A\\B\\C"));
    EXPECT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, L"Software\\A", L"V", 1));
    EXPECT_TRUE(DeleteRegValue(HKEY_LOCAL_MACHINE, L"Software\\A", L"V"));
    EXPECT_FALSE(DeleteRegValue(HKEY_LOCAL_MACHINE, L"Software\\A", L"V")) << "already gone";
    EXPECT_FALSE(DeleteRegValue(HKEY_LOCAL_MACHINE, L"Software\\Missing", L"V"));
}

TEST_F(RegistryTest, WritesReportFailureWhenTheKeyCannotBeWritten) {
    // Below a volatile key no lasting subkey can be created.
    // (Wine does not enforce a key handle's access rights, so a read-only mapping would not do.)
    HKEY volatileRoot = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileRoot", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileRoot, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, volatileRoot), ERROR_SUCCESS);
    EXPECT_FALSE(WriteRegDword(HKEY_LOCAL_MACHINE, L"Software\\New", L"V", 1));
    EXPECT_FALSE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\New", L"V", L"x"));
    EXPECT_FALSE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\New"));
    EXPECT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, L"", L"V", 1)) << "the key itself is writable";
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(volatileRoot);
}

TEST_F(RegistryTest, DeleteRegKeyTreeRemovesEmptiedAncestorsUpToTheFirstThatHoldsMore) {
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep\\Deeper"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep", L"V", 1));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_CURRENT_USER, L"Software\\A\\B"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\A"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(RegistryTest, DeleteRegKeyTreeStopsAtAParentWithAValueOrAnotherSubkey) {
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Velkora\\Sub"));
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Other"));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, Key));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Key));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Brightmoss\\Other"));

    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\P\\Q"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\P", L"Keep", L"me"));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, L"Software\\P\\Q"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\P\\Q"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\P"));
}

TEST_F(RegistryTest, DeleteRegKeyTreeOnAMissingKeyOrATopLevelName) {
    EXPECT_FALSE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Missing"));
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Top\\Child\\Grandchild"));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, L"Top"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Top")) << "a name without a backslash stays";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Top\\Child"));
}

TEST_F(RegistryTest, DeleteSubKeysRemovesAWideAndDeepSubtree) {
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE,
                                 L"Root\\K" + std::to_wstring(i) + L"\\L\\M" + std::to_wstring(i)));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, L"Root", L"Stay", 1));
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Root", 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
    DeleteSubKeys(root);
    DWORD subKeys = 99, values = 0;
    RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(root);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 1u) << "values of the key itself stay";
}

TEST_F(RegistryTest, DeleteRegSubKeyTreeRemovesTheEntryButNeverItsParent) {
    const wchar_t* const uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, std::wstring(uninstall) + L"\\vklLib\\Sub"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, std::wstring(uninstall) + L"\\vklLib", L"V", L"x"));
    EXPECT_TRUE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, uninstall, L"vklLib"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, (std::wstring(uninstall) + L"\\vklLib").c_str()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstall)) << "the emptied parent stays";
    EXPECT_TRUE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, uninstall, L"vklLib")) << "already gone";
    EXPECT_FALSE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, uninstall, L"")) << "never the parent";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstall));
    EXPECT_FALSE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Missing", L"x"));
}
