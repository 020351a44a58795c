#include "product/UConst.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vktest;

namespace {

const wchar_t* const RecordKey = L"Software\\Brightmoss\\Velkora";

// A value read without the code under test, only when it has the type asked for: REG_DWORD as
// its number in decimal, REG_SZ as its text.
std::wstring Stored(const wchar_t* name, DWORD type) {
    wchar_t data[256] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);  // a terminator always remains
    if (RegGetValueW(HKEY_LOCAL_MACHINE, RecordKey, name,
                     type == REG_DWORD ? RRF_RT_REG_DWORD : RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return L"<no value of that type>";
    DWORD number = 0;
    memcpy(&number, data, sizeof(number));
    return type == REG_DWORD ? std::to_wstring(number) : std::wstring(data);
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
        std::wstring Value;
    } rows[] = {{L"InstallVersions", REG_DWORD, std::to_wstring(0x8000400)},
                {L"InstallItems", REG_DWORD, std::to_wstring(0x20001080)},
                {L"CustomizeItems", REG_DWORD, L"7"},  // the old REG_SZ is replaced
                {L"RootDir", REG_SZ, L"C:\\Program Files\\Velkora"},
                {L"Version", REG_SZ, L"4.07"},
                {L"Type", REG_SZ, L"Standard Edition"},
                {L"Remark", REG_SZ, L"kept"}};
    for (const auto& row : rows)
        EXPECT_EQ(Stored(row.Name, row.Type), row.Value) << row.Name;
    const std::wstring date = Stored(L"InstallDate", REG_SZ);
    EXPECT_TRUE(date == ShortDate(before) || date == ShortDate(after)) << date.c_str();

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
