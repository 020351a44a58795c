#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using vktest::KeyExists;
using RegistryTest = vktest::SandboxTest;

namespace {

const HKEY Hklm = HKEY_LOCAL_MACHINE;
const wchar_t* const Key = L"Software\\Brightmoss\\Velkora";

// UTF-16 bytes of a literal, with its terminator unless told otherwise.
template <size_t N> std::string Wide(const wchar_t (&text)[N], size_t chars = N) {
    return std::string(reinterpret_cast<const char*>(text), chars * sizeof(wchar_t));
}

// Type and raw bytes of a value, read without the code under test.
std::pair<DWORD, std::string> RawValue(const wchar_t* name) {
    BYTE data[64];
    DWORD size = sizeof(data), type = 0;
    if (RegGetValueW(Hklm, L"Software\\New", name, RRF_RT_ANY, &type, data, &size) != 0)
        return {REG_NONE, "<missing>"};
    return {type, std::string(reinterpret_cast<char*>(data), size)};
}

} // namespace

TEST_F(RegistryTest, ReadersCheckTypeAndSizeAndWritersStoreExactBytes) {
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
        {REG_SZ, std::string("A\0B", 3), L"A", 0x420041}, // an odd byte count
        {REG_EXPAND_SZ, Wide(L"C:\\IDE"), nullptr, -1},
        {REG_BINARY, "\x78\x56\x34\x12", nullptr, 0x12345678},
        {REG_QWORD, std::string(8, '\1'), nullptr, -1}, // does not fit 4 bytes
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::wstring name = L"V" + std::to_wstring(i);
        ASSERT_EQ(RegSetKeyValueW(Hklm, Key, name.c_str(), rows[i].Type, rows[i].Bytes.data(),
                                  DWORD(rows[i].Bytes.size())),
                  ERROR_SUCCESS);
        std::wstring text = L"stale";
        DWORD number = 99;
        EXPECT_EQ(ReadRegString(Hklm, Key, name, text), rows[i].Text != nullptr) << i;
        EXPECT_EQ(text, rows[i].Text ? rows[i].Text : L"") << "row " << i;
        EXPECT_EQ(ReadRegDword(Hklm, Key, name, number), rows[i].Number >= 0) << i;
        EXPECT_EQ(number, rows[i].Number >= 0 ? rows[i].Number : 0) << "row " << i;
    }
    for (const wchar_t* key : {Key, L"Software\\Nothing"}) { // a missing value, a missing key
        std::wstring text = L"stale";
        DWORD number = 99;
        EXPECT_FALSE(ReadRegString(Hklm, key, L"Missing", text) ||
                     ReadRegDword(Hklm, key, L"Missing", number));
        EXPECT_EQ(text + std::to_wstring(number), L"0") << key;
    }
    // The writers create the key and store the terminator and the exact type.
    EXPECT_TRUE(WriteRegString(Hklm, L"Software\\New", L"Dir", L"C:\\V"));
    EXPECT_TRUE(WriteRegDword(Hklm, L"Software\\New", L"Items", 0x1080));
    EXPECT_EQ(RawValue(L"Dir"), std::make_pair(DWORD(REG_SZ), Wide(L"C:\\V")));
    EXPECT_EQ(RawValue(L"Items"), std::make_pair(DWORD(REG_DWORD), std::string("\x80\x10\0\0", 4)));
}

TEST_F(RegistryTest, DeleteRegKeyTreeRemovesEmptiedAncestorsUpToTheFirstThatHoldsMore) {
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep\\Deeper"));
    ASSERT_TRUE(WriteRegDword(HKEY_CURRENT_USER, L"Software\\A\\B\\Deep", L"V", 1));
    EXPECT_TRUE(DeleteRegKeyTree(HKEY_CURRENT_USER, L"Software\\A\\B"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\A"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software")) << "the first key is never removed";
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

TEST_F(RegistryTest, SubtreeDeletersKeepTheKeyTheyAreGiven) {
    // A wide and deep subtree: every subkey goes, the key's own value stays.
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
    // The uninstall entry goes; an empty name never removes the parent.
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(CreateRegKey(Hklm, uninstall + L"\\vklLib\\Sub"));
    EXPECT_TRUE(DeleteRegSubKeyTree(Hklm, uninstall, L"vklLib"));
    EXPECT_FALSE(KeyExists(Hklm, uninstall + L"\\vklLib"));
    EXPECT_FALSE(DeleteRegSubKeyTree(Hklm, uninstall, L""));
    EXPECT_TRUE(KeyExists(Hklm, uninstall));
}
