#include "product/UConst.h"
#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace vktest;

namespace {

const wchar_t* const RecordKey = L"Software\\Brightmoss\\Velkora";

// Type and data of a value, read without the code under test.
struct RawValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;

    // A REG_SZ written with its terminator carries exactly one, at the end.
    std::wstring Text() const {
        std::wstring text(reinterpret_cast<const wchar_t*>(Data.data()), Data.size() / 2);
        if (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }
    DWORD Dword() const {
        DWORD number = 0;
        if (Data.size() == sizeof(number))
            memcpy(&number, Data.data(), sizeof(number));
        return number;
    }
};

RawValue ReadRaw(const wchar_t* name) {
    RawValue value;
    BYTE data[512];
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, RecordKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.Type,
                     data, &size) == ERROR_SUCCESS)
        value.Data.assign(data, data + size);
    return value;
}

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, RecordKey, name, type, data, bytes),
              ERROR_SUCCESS)
        << name;
}

void SetDword(const wchar_t* name, DWORD number, DWORD type = REG_DWORD) {
    SetRaw(name, type, &number, sizeof(number));
}

void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    SetRaw(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
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

TEST_F(InstallRecordTest, WithoutARecordEverythingReadsAsAFirstInstallation) {
    const TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0);
    EXPECT_EQ(previous.InstallItems, 0);
    EXPECT_EQ(previous.Version, L"");
    EXPECT_FALSE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 5u);
    EXPECT_EQ(ReadPrevInstallPath(), L"");
}

TEST_F(InstallRecordTest, WritesTheRecordOverAnOlderOneWithItsTypesAndReadsItBack) {
    ASSERT_TRUE(WriteInstallRecord());  // a fresh key first
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
                {L"Type", REG_SZ, 0, sProductType},
                {L"Remark", REG_SZ, 0, L"kept"}};
    for (const auto& row : rows) {
        const RawValue value = ReadRaw(row.Name);
        EXPECT_EQ(value.Type, row.Type) << row.Name;
        if (row.Type == REG_DWORD)
            EXPECT_EQ(value.Dword(), row.Number) << row.Name;
        else
            EXPECT_EQ(value.Text(), row.Text) << row.Name;
    }
    const RawValue date = ReadRaw(L"InstallDate");
    EXPECT_EQ(date.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_TRUE(date.Text() == FormatShortDate(before) || date.Text() == FormatShortDate(after))
        << date.Text().c_str();

    CustomizeItems = 5;
    const TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0x8000400);
    EXPECT_EQ(previous.InstallItems, 0x20001080);
    EXPECT_EQ(previous.Version, L"4.07");
    EXPECT_TRUE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 7u);
    EXPECT_EQ(ReadPrevInstallPath(), L"C:\\Program Files\\Velkora");
}

TEST_F(InstallRecordTest, PartialAndMistypedValuesReadAsTheirDefaults) {
    // The directory is read whatever the versions say.
    SetDword(L"InstallVersions", 0);
    SetDword(L"InstallItems", 0x80);
    SetText(L"RootDir", L"C:\\Libs\\Velkora");
    TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0);
    EXPECT_EQ(previous.InstallItems, 0x80);
    EXPECT_EQ(previous.Version, L"");
    EXPECT_EQ(ReadPrevInstallPath(), L"C:\\Libs\\Velkora");

    // The masks are read without checking their type; texts only as REG_SZ.
    SetDword(L"InstallVersions", 0x400, REG_BINARY);
    SetDword(L"InstallItems", 0x80000000u);
    SetDword(L"Version", 4);
    SetText(L"RootDir", L"%ProgramFiles%\\Velkora", REG_EXPAND_SZ);
    previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0x400);
    EXPECT_LT(previous.InstallItems, 1) << "bit 31 reads as a negative number: no items";
    EXPECT_EQ(previous.Version, L"");
    EXPECT_EQ(ReadPrevInstallPath(), L"");

    // CustomizeItems 0 is a value; eight bytes do not fit the 32-bit read and keep the mask.
    SetDword(L"CustomizeItems", 0);
    EXPECT_TRUE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 0u);
    CustomizeItems = 5;
    const uint64_t wide = 3;
    SetRaw(L"CustomizeItems", REG_QWORD, &wide, sizeof(wide));
    EXPECT_FALSE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 5u);
}

TEST_F(InstallRecordTest, AFailedFirstWriteEndsTheSequenceWithNothingWritten) {
    // Below a volatile key no lasting subkey can be created, so the record key cannot be made.
    // (Wine does not enforce a key handle's access rights, so a read-only mapping would not do;
    // no way was found to make a later write of the sequence fail on its own.)
    HKEY volatileRoot = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"VolatileRoot", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &volatileRoot, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, volatileRoot), ERROR_SUCCESS);
    InstallVersions = 0x400;
    EXPECT_FALSE(WriteInstallRecord());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software")) << "nothing of the key path is left";
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(volatileRoot);
}

TEST_F(InstallRecordTest, ShortDateFollowsTheUserLocale) {
    const SYSTEMTIME date{2024, 3, 0, 5, 0, 0, 0, 0};
    wchar_t separator[8] = L"";
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, separator, 8), 0);
    // This prefix's user locale orders month, day, year.
    EXPECT_EQ(FormatShortDate(date), std::wstring(L"3") + separator + L"5" + separator + L"2024");
}
