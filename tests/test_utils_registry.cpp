#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using vktest::KeyExists;

namespace {

const wchar_t* const Key = L"Software\\Brightmoss\\Velkora";

void SetRaw(const wchar_t* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, name, type, bytes.data(),
                              static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

// UTF-16 bytes of a literal, with its terminator unless told otherwise.
template <size_t N> std::string Wide(const wchar_t (&text)[N], size_t chars = N) {
    return std::string(reinterpret_cast<const char*>(text), chars * sizeof(wchar_t));
}

// Type and raw bytes of a value, read without the code under test.
std::pair<DWORD, std::string> RawValue(const wchar_t* key, const wchar_t* name) {
    BYTE data[512];
    DWORD size = sizeof(data), type = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                     &size) != ERROR_SUCCESS)
        return {REG_NONE, "<missing>"};
    return {type, std::string(reinterpret_cast<char*>(data), size)};
}

} // namespace

using RegistryTest = vktest::SandboxTest;

TEST_F(RegistryTest, ReadersCheckTypeAndSizeAndNeverTrustTheStoredTerminator) {
    // Text: what ReadRegString answers (null: false, only REG_SZ is read). Number: what
    // ReadRegDword answers (-1: false, any type of up to 4 bytes is read).
    const struct {
        DWORD Type;
        std::string Bytes;
        const wchar_t* Text;
        long long Number;
    } rows[] = {
        {REG_SZ, Wide(L"C:\\IDE"), L"C:\\IDE", -1},
        {REG_SZ, Wide(L"ABCD", 4), L"ABCD", -1}, // without a terminator every character counts
        {REG_SZ, Wide(L"AB\0CD"), L"AB", -1},    // the text ends at the first NUL
        {REG_SZ, "", L"", 0},
        {REG_SZ, std::string("A\0B", 3), L"A", 0x420041}, // an odd byte count
        {REG_EXPAND_SZ, Wide(L"C:\\IDE"), nullptr, -1},
        {REG_MULTI_SZ, Wide(L"a\0"), nullptr, -1},
        {REG_DWORD, "\x78\x56\x34\x12", nullptr, 0x12345678},
        {REG_BINARY, "\x78\x56\x34\x12", nullptr, 0x12345678},
        {REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8), nullptr, -1}, // does not fit 4 bytes
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::wstring name = L"V" + std::to_wstring(i);
        SetRaw(name.c_str(), rows[i].Type, rows[i].Bytes);
        std::wstring text = L"stale";
        DWORD number = 99;
        EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, Key, name, text), rows[i].Text != nullptr) << i;
        EXPECT_EQ(text, rows[i].Text ? rows[i].Text : L"") << "row " << i;
        EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, Key, name, number), rows[i].Number >= 0) << i;
        EXPECT_EQ(number, rows[i].Number >= 0 ? rows[i].Number : 0) << "row " << i;
    }
    for (const wchar_t* key : {Key, L"Software\\Nothing"}) {
        std::wstring text = L"stale";
        DWORD number = 99;
        EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, key, L"Missing", text)) << key;
        EXPECT_FALSE(ReadRegDword(HKEY_LOCAL_MACHINE, key, L"Missing", number)) << key;
        EXPECT_EQ(text + std::to_wstring(number), L"0") << key;
    }
}

TEST_F(RegistryTest, WritesCreateTheKeyAndStoreExactTypesAndBytes) {
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, Key, L"RootDir", L"C:\\V"));
    EXPECT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, Key, L"Empty", L""));
    EXPECT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, Key, L"InstallItems", 0x1080));
    EXPECT_EQ(RawValue(Key, L"RootDir"), std::make_pair(DWORD(REG_SZ), Wide(L"C:\\V")))
        << "with its terminator";
    EXPECT_EQ(RawValue(Key, L"Empty"), std::make_pair(DWORD(REG_SZ), Wide(L"")));
    EXPECT_EQ(RawValue(Key, L"InstallItems"),
              std::make_pair(DWORD(REG_DWORD), std::string("\x80\x10\0\0", 4)));
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
    handles::RegKey volatileRoot;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileRoot", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileRoot.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, volatileRoot.get()), ERROR_SUCCESS);
    EXPECT_FALSE(WriteRegDword(HKEY_LOCAL_MACHINE, L"Software\\New", L"V", 1));
    EXPECT_FALSE(WriteRegString(HKEY_LOCAL_MACHINE, L"Software\\New", L"V", L"x"));
    EXPECT_FALSE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\New"));
    EXPECT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, L"", L"V", 1)) << "the key itself is writable";
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
}

TEST_F(RegistryTest, DeleteRegKeyTreeRemovesEmptiedAncestorsUpToTheFirstThatHoldsMore) {
    // Deep subtree with a value; ancestors emptied up to "Software".
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep\\Deeper"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep", L"V", 1));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_CURRENT_USER, L"Software\\A\\B"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\A"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
    // A parent with another subkey, and one with a value, stay.
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
    // A missing key fails; a name without a backslash keeps the key itself.
    EXPECT_FALSE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Missing"));
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, L"Top\\Child\\Grandchild"));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, L"Top"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Top"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Top\\Child"));
}

TEST_F(RegistryTest, DeleteSubKeysRemovesAWideAndDeepSubtreeButNotTheKeysValues) {
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE,
                                 L"Root\\K" + std::to_wstring(i) + L"\\L\\M" + std::to_wstring(i)));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, L"Root", L"Stay", 1));
    handles::RegKey root;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Root", 0, KEY_ALL_ACCESS, root.put()),
              ERROR_SUCCESS);
    DeleteSubKeys(root.get());
    DWORD subKeys = 99, values = 0;
    RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 1u);
}

TEST_F(RegistryTest, DeleteRegSubKeyTreeRemovesTheEntryButNeverItsParent) {
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, uninstall + L"\\vklLib\\Sub"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, uninstall + L"\\vklLib", L"V", L"x"));
    EXPECT_TRUE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, uninstall, L"vklLib"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstall + L"\\vklLib"));
    EXPECT_TRUE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, uninstall, L"vklLib")) << "already gone";
    EXPECT_FALSE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, uninstall, L"")) << "never the parent";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, uninstall)) << "the emptied parent stays";
    EXPECT_FALSE(DeleteRegSubKeyTree(HKEY_LOCAL_MACHINE, L"Software\\Missing", L"x"));
}
