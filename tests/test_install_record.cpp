#include "product/UConst.h"
#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vktest;

namespace {

const wchar_t* const RecordKey = L"Software\\Brightmoss\\Velkora";

// Type and contents of a value, read without the code under test.
struct RawValue {
    DWORD Type = REG_NONE;
    DWORD Number = 0;
    std::wstring Text;
};

RawValue ReadRaw(const wchar_t* name) {
    RawValue value;
    wchar_t data[256] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);  // a terminator always remains
    if (RegGetValueW(HKEY_LOCAL_MACHINE, RecordKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.Type,
                     data, &size) == ERROR_SUCCESS) {
        value.Text = data;
        if (size == sizeof(DWORD))
            memcpy(&value.Number, data, sizeof(DWORD));
    }
    return value;
}

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, RecordKey, name, type, data, bytes),
              ERROR_SUCCESS)
        << name;
}
void SetDword(const wchar_t* name, DWORD number) {
    SetRaw(name, REG_DWORD, &number, sizeof(number));
}
void SetText(const wchar_t* name, const std::wstring& text) {
    SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::wstring ShortDate(const SYSTEMTIME& date) {
    wchar_t text[64] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, 64);
    return text;
}

class InstallRecordTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ResetState();
    }
    void TearDown() override {
        ResetState();
        SandboxTest::TearDown();
    }
    static void ResetState() {
        InstallDir.clear();
        InstallVersions = 0;
        InstallItems = 0;
        CustomizeItems = 5;
    }
};

}  // namespace

// Without a record everything reads as on a first installation; a record written over an older
// one replaces each of its values with the right type and reads back as written.
TEST_F(InstallRecordTest, WritesTheRecordOverAnOlderOneWithItsTypesAndReadsItBack) {
    TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0);
    EXPECT_EQ(previous.InstallItems, 0);
    EXPECT_EQ(previous.Version, L"");
    EXPECT_FALSE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 5u);
    EXPECT_EQ(ReadPrevInstallPath(), L"");

    SetDword(L"InstallVersions", 0x1);
    SetText(L"RootDir", L"D:\\Old");
    SetText(L"Version", L"3.10");
    SetText(L"InstallDate", L"1/1/2001");
    SetText(L"CustomizeItems", L"mistyped");
    SetText(L"Remark", L"kept");
    InstallDir = L"C:\\Program Files\\Velkora";
    InstallVersions = 0x8000400;
    InstallItems = 0x20001080;
    CustomizeItems = 7;
    SYSTEMTIME before{}, after{};
    GetLocalTime(&before);
    ASSERT_TRUE(WriteInstallRecord());
    GetLocalTime(&after);

    const struct {
        const wchar_t* Name;
        DWORD Type;
        DWORD Number;
        std::wstring Text;
    } rows[] = {{L"InstallVersions", REG_DWORD, 0x8000400, L""},
                {L"InstallItems", REG_DWORD, 0x20001080, L""},
                {L"CustomizeItems", REG_DWORD, 7, L""},  // the old REG_SZ is replaced
                {L"RootDir", REG_SZ, 0, L"C:\\Program Files\\Velkora"},
                {L"Version", REG_SZ, 0, L"4.07"},
                {L"Type", REG_SZ, 0, L"Standard Edition"},
                {L"Remark", REG_SZ, 0, L"kept"}};
    for (const auto& row : rows) {
        const RawValue value = ReadRaw(row.Name);
        EXPECT_EQ(value.Type, row.Type) << row.Name;
        if (row.Type == REG_DWORD)
            EXPECT_EQ(value.Number, row.Number) << row.Name;
        else
            EXPECT_EQ(value.Text, row.Text) << row.Name;
    }
    const RawValue date = ReadRaw(L"InstallDate");
    EXPECT_EQ(date.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_TRUE(date.Text == ShortDate(before) || date.Text == ShortDate(after))
        << date.Text.c_str();

    CustomizeItems = 5;
    previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0x8000400);
    EXPECT_EQ(previous.InstallItems, 0x20001080);
    EXPECT_EQ(previous.Version, L"4.07");
    EXPECT_TRUE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 7u);
    EXPECT_EQ(ReadPrevInstallPath(), L"C:\\Program Files\\Velkora");

    // A stored 0 is a choice of its own, not a missing value.
    SetDword(L"CustomizeItems", 0);
    EXPECT_TRUE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 0u);
}

TEST_F(InstallRecordTest, AFailedFirstWriteEndsTheSequenceWithNothingWritten) {
    // Below a volatile key no lasting subkey can be created, so the record key cannot be made.
    // (Wine does not enforce a key handle's access rights, so a read-only mapping would not do;
    // no way was found to make a later write of the sequence fail on its own.)
    handles::RegKey volatileRoot;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileRoot", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileRoot.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, volatileRoot.get()), ERROR_SUCCESS);
    InstallVersions = 0x400;
    EXPECT_FALSE(WriteInstallRecord());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software")) << "nothing of the key path is left";
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
}
