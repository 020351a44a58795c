#include "product/URegistry.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using vktest::KeyExists;
using RegistryTest = vktest::SandboxTest;

namespace {

const HKEY Hklm = HKEY_LOCAL_MACHINE;
const wchar_t* const Key = L"Software\\Brightmoss\\Velkora";

}  // namespace

TEST_F(RegistryTest, ReadRegStringReadsOnlyRegSzAndNeverTrustsTheStoredTerminator) {
    // What ReadRegString answers for each stored type and bytes (null: false).
    const std::tuple<DWORD, std::string, const wchar_t*> rows[] = {
        {REG_SZ, std::string("C\0:\0\\\0\0\0", 8), L"C:\\"},
        {REG_SZ, std::string("A\0B\0", 4), L"AB"},  // without a terminator every character counts
        {REG_SZ, std::string("A\0B", 3), L"A"},     // an odd byte count
        {REG_EXPAND_SZ, std::string("C\0\0\0", 4), nullptr},
        {REG_DWORD, std::string("\1\0\0\0", 4), nullptr},
    };
    for (const auto& [type, bytes, expected] : rows) {
        ASSERT_EQ(RegSetKeyValueW(Hklm, Key, L"V", type, bytes.data(), DWORD(bytes.size())), 0);
        std::wstring text = L"stale";
        EXPECT_EQ(ReadRegString(Hklm, Key, L"V", text), expected != nullptr)
            << testing::PrintToString(bytes);
        EXPECT_EQ(text, expected ? expected : L"") << testing::PrintToString(bytes);
    }
    for (const wchar_t* key : {Key, L"Software\\Nothing"}) {  // a missing value, a missing key
        std::wstring text = L"stale";
        EXPECT_FALSE(ReadRegString(Hklm, key, L"Missing", text)) << key;
        EXPECT_EQ(text, L"") << key;
    }
}

TEST_F(RegistryTest, DeleteRegKeyTreeRemovesEmptiedAncestorsUpToTheFirstThatHoldsMore) {
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep\\Deeper"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep", L"V", 1));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_CURRENT_USER, L"Software\\A\\B"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\A"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software")) << "a top-level key stays";
    // A parent with another subkey, and one with a value, stay.
    ASSERT_TRUE(CreateRegKey(Hklm, L"Software\\Brightmoss\\Velkora\\Sub"));
    ASSERT_TRUE(CreateRegKey(Hklm, L"Software\\Brightmoss\\Other"));
    ASSERT_TRUE(CreateRegKey(Hklm, L"Software\\P\\Q"));
    ASSERT_TRUE(WriteRegString(Hklm, L"Software\\P", L"Keep", L"me"));
    EXPECT_TRUE(DeleteRegKeyTree(Hklm, Key) && DeleteRegKeyTree(Hklm, L"Software\\P\\Q"));
    EXPECT_FALSE(KeyExists(Hklm, Key) || KeyExists(Hklm, L"Software\\P\\Q"));
    EXPECT_TRUE(KeyExists(Hklm, L"Software\\Brightmoss\\Other") && KeyExists(Hklm, L"Software\\P"));
    EXPECT_FALSE(DeleteRegKeyTree(Hklm, L"Software\\Missing"));
}

TEST_F(RegistryTest, DeleteSubKeysRemovesAWideAndDeepSubtreeButNotTheKeysValues) {
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(CreateRegKey(Hklm, L"Root\\K" + std::to_wstring(i) + L"\\L\\M"));
    ASSERT_TRUE(WriteRegDword(Hklm, L"Root", L"Stay", 1));
    handles::RegKey root;
    ASSERT_EQ(RegOpenKeyExW(Hklm, L"Root", 0, KEY_ALL_ACCESS, root.put()), ERROR_SUCCESS);
    DeleteSubKeys(root.get());
    DWORD subKeys = 99, values = 0;
    RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 1u);
}
