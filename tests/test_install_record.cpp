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
    bool Present = false;
};

RawValue ReadRaw(const wchar_t* name) {
    RawValue value;
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, RecordKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.Type,
                     nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.Data.resize(size);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, RecordKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.Type,
                     value.Data.data(), &size) != ERROR_SUCCESS)
        return value;
    value.Data.resize(size);
    value.Present = true;
    return value;
}

std::wstring RawText(const RawValue& value) {
    std::wstring text(reinterpret_cast<const wchar_t*>(value.Data.data()),
                      value.Data.size() / sizeof(wchar_t));
    // A REG_SZ written with its terminator carries exactly one, at the end.
    if (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

DWORD RawDword(const RawValue& value) {
    DWORD number = 0;
    if (value.Data.size() == sizeof(number))
        memcpy(&number, value.Data.data(), sizeof(number));
    return number;
}

void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, RecordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &handle, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

void SetDword(const wchar_t* name, DWORD number) {
    SetRaw(name, REG_DWORD, &number, sizeof(number));
}

void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    SetRaw(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The short date of today or, when the test runs just past midnight, of the day before.
bool IsTodayOrYesterday(const std::wstring& text) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    if (text == FormatShortDate(now))
        return true;
    FILETIME file{};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart -= 24ull * 60 * 60 * 10000000;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME yesterday{};
    FileTimeToSystemTime(&file, &yesterday);
    return text == FormatShortDate(yesterday);
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

TEST_F(InstallRecordTest, WritesTheSevenValuesWithTheirTypesAndReadsThemBack) {
    InstallDir = L"C:\\Program Files\\Velkora";
    InstallVersions = 0x8000400;
    InstallItems = 0x20001080;
    CustomizeItems = 7;
    ASSERT_TRUE(WriteInstallRecord());

    const RawValue versions = ReadRaw(L"InstallVersions");
    EXPECT_EQ(versions.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RawDword(versions), 0x8000400u);
    const RawValue items = ReadRaw(L"InstallItems");
    EXPECT_EQ(items.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RawDword(items), 0x20001080u);
    const RawValue customize = ReadRaw(L"CustomizeItems");
    EXPECT_EQ(customize.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RawDword(customize), 7u);
    const struct {
        const wchar_t* Name;
        std::wstring Text;
    } texts[] = {{L"RootDir", L"C:\\Program Files\\Velkora"},
                 {L"Version", L"4.07"},
                 {L"Type", sProductType},
                 {L"InstallDate", InstallDateText()}};
    for (const auto& expected : texts) {
        const RawValue value = ReadRaw(expected.Name);
        EXPECT_EQ(value.Type, static_cast<DWORD>(REG_SZ)) << expected.Name;
        EXPECT_EQ(RawText(value), expected.Text) << expected.Name;
    }
    EXPECT_TRUE(IsTodayOrYesterday(RawText(ReadRaw(L"InstallDate"))));

    CustomizeItems = 5;
    const TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0x8000400);
    EXPECT_EQ(previous.InstallItems, 0x20001080);
    EXPECT_EQ(previous.Version, L"4.07");
    EXPECT_TRUE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 7u);
    EXPECT_EQ(ReadPrevInstallPath(), L"C:\\Program Files\\Velkora");
}

TEST_F(InstallRecordTest, RewritesAnOlderRecordInFullAndDeletesNothing) {
    SetDword(L"InstallVersions", 0x1);
    SetDword(L"InstallItems", 0x2);
    SetText(L"RootDir", L"D:\\Old");
    SetText(L"Version", L"3.10");
    SetText(L"Type", L"Old Edition");
    SetText(L"InstallDate", L"1/1/2001");
    SetText(L"CustomizeItems", L"mistyped");
    SetText(L"Remark", L"kept");

    InstallDir = L"E:\\New";
    InstallVersions = 0x400;
    InstallItems = 0x1000;
    CustomizeItems = 0;
    ASSERT_TRUE(WriteInstallRecord());

    EXPECT_EQ(RawDword(ReadRaw(L"InstallVersions")), 0x400u);
    EXPECT_EQ(RawDword(ReadRaw(L"InstallItems")), 0x1000u);
    EXPECT_EQ(RawText(ReadRaw(L"RootDir")), L"E:\\New");
    EXPECT_EQ(RawText(ReadRaw(L"Version")), L"4.07");
    EXPECT_EQ(RawText(ReadRaw(L"Type")), sProductType);
    EXPECT_EQ(RawText(ReadRaw(L"InstallDate")), InstallDateText());
    const RawValue customize = ReadRaw(L"CustomizeItems");
    EXPECT_EQ(customize.Type, static_cast<DWORD>(REG_DWORD)) << "the old type is replaced";
    EXPECT_EQ(RawDword(customize), 0u);
    EXPECT_EQ(RawText(ReadRaw(L"Remark")), L"kept");
}

TEST_F(InstallRecordTest, CustomizeItemsZeroReplacesTheStartValue) {
    SetDword(L"CustomizeItems", 0);
    EXPECT_TRUE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 0u);
}

TEST_F(InstallRecordTest, AnUnreadableCustomizeItemsKeepsTheMask) {
    // Eight bytes do not fit the 32-bit read.
    const uint64_t wide = 3;
    SetRaw(L"CustomizeItems", REG_QWORD, &wide, sizeof(wide));
    EXPECT_FALSE(ReadPrevCustomizeItems());
    EXPECT_EQ(CustomizeItems, 5u);
}

TEST_F(InstallRecordTest, PreviousDirectoryIsReadWhateverTheVersionsSay) {
    SetDword(L"InstallVersions", 0);
    SetDword(L"InstallItems", 0x80);
    SetText(L"RootDir", L"C:\\Libs\\Velkora");
    const TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0);
    EXPECT_EQ(previous.InstallItems, 0x80);
    EXPECT_EQ(previous.Version, L"");
    EXPECT_EQ(ReadPrevInstallPath(), L"C:\\Libs\\Velkora");
}

TEST_F(InstallRecordTest, MistypedValuesReadAsTheSpecifiedDefaults) {
    // The masks are read without checking their type; texts only as REG_SZ.
    const DWORD bits = 0x400;
    SetRaw(L"InstallVersions", REG_BINARY, &bits, sizeof(bits));
    SetDword(L"InstallItems", 0x80000000u);
    SetDword(L"Version", 4);
    SetText(L"RootDir", L"%ProgramFiles%\\Velkora", REG_EXPAND_SZ);
    const TPrevInstall previous = ReadPrevInstall();
    EXPECT_EQ(previous.InstallSelected, 0x400);
    EXPECT_LT(previous.InstallItems, 1) << "bit 31 reads as a negative number: no items";
    EXPECT_EQ(previous.Version, L"");
    EXPECT_EQ(ReadPrevInstallPath(), L"");
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
    HKEY software = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &software);
    EXPECT_NE(opened, ERROR_SUCCESS) << "not even a part of the key path was left";
    if (opened == ERROR_SUCCESS)
        RegCloseKey(software);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(volatileRoot);
}

TEST_F(InstallRecordTest, ShortDateFollowsTheUserLocale) {
    SYSTEMTIME date{};
    date.wYear = 2024;
    date.wMonth = 3;
    date.wDay = 5;
    wchar_t separator[8] = L"";
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, separator, 8), 0);
    // This prefix's user locale orders month, day, year.
    EXPECT_EQ(FormatShortDate(date), std::wstring(L"3") + separator + L"5" + separator + L"2024");
    EXPECT_TRUE(IsTodayOrYesterday(InstallDateText()));
}
