#include "product/UConst.h"
#include "product/UProducts.h"
#include "product/UUtils.h"

#include <gtest/gtest.h>

TEST(JoinPathTest, ExactlyOneSeparatorBetweenBaseAndRelativePart) {
    EXPECT_EQ(JoinPath(L"C:\\Lib", L"Source"), L"C:\\Lib\\Source");
    EXPECT_EQ(JoinPath(L"C:\\Lib\\", L"Source"), L"C:\\Lib\\Source");
    EXPECT_EQ(JoinPath(L"C:\\Lib", L"\\Source"), L"C:\\Lib\\Source");
    EXPECT_EQ(JoinPath(L"", L"Source"), L"Source");
    EXPECT_EQ(JoinPath(L"C:\\Lib", L""), L"C:\\Lib");
    EXPECT_EQ(JoinPath(L"", L""), L"");
}

TEST(JoinPathTest, NoOtherNormalisation) {
    EXPECT_EQ(JoinPath(L"C:\\Lib\\", L"\\Source"), L"C:\\Lib\\\\Source");
    EXPECT_EQ(JoinPath(L"C:/Lib", L"Source"), L"C:/Lib\\Source") << "only the backslash counts";
    EXPECT_EQ(JoinPath(L"C:\\Lib\\", L""), L"C:\\Lib\\");
}

class DirectoryCodes : public ::testing::Test {
protected:
    void SetUp() override {
        FSavedInstallDir = InstallDir;
        FSavedRoot = BorlandProducts[12].RootDir;
        InstallDir = L"C:\\Velkora";
        BorlandProducts[12].RootDir = L"C:\\IDE\\Studio";
    }
    void TearDown() override {
        InstallDir = FSavedInstallDir;
        BorlandProducts[12].RootDir = FSavedRoot;
        CurrentProduct = 0;
        CurrentProductDir.clear();
    }
    std::wstring FSavedInstallDir, FSavedRoot;
};

TEST_F(DirectoryCodes, IdeCodesNeedAValidCurrentProduct) {
    for (int product : {0, -1, 29, 1000}) {
        CurrentProduct = product;
        EXPECT_EQ(BaseDir(dcIdeRoot), L"") << product;
        EXPECT_EQ(BaseDir(dcIdeHelp), L"") << product;
    }
    CurrentProduct = 12;
    EXPECT_EQ(BaseDir(dcIdeRoot), L"C:\\IDE\\Studio");
    EXPECT_EQ(BaseDir(dcIdeHelp), L"C:\\IDE\\Studio\\Help\\");
}

TEST_F(DirectoryCodes, SystemDirectoriesAndUnknownCodes) {
    wchar_t buffer[MAX_PATH];
    GetWindowsDirectoryW(buffer, MAX_PATH);
    EXPECT_EQ(BaseDir(dcWindows), buffer);
    GetSystemDirectoryW(buffer, MAX_PATH);
    EXPECT_EQ(BaseDir(dcSystem), buffer);
    std::wstring temp = BaseDir(dcTemp);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_EQ(BaseDir(dcInstall), L"C:\\Velkora");
    for (int code : {0, 7, -3, 0x100})
        EXPECT_EQ(BaseDir(code), L"") << code;
    EXPECT_EQ(ItemPath(dcInstall, L""), L"C:\\Velkora") << "the installation directory row";
    EXPECT_EQ(ItemPath(0, L"bin\\dcc64.exe"), L"bin\\dcc64.exe");
}

TEST_F(DirectoryCodes, SubFolderCodesUseTheLowSevenBits) {
    CurrentProductDir = L"RADStudio9";
    EXPECT_EQ(InstallSubDir(sfInstall), L"C:\\Velkora");
    EXPECT_EQ(InstallSubDir(sfSource), L"C:\\Velkora\\Source");
    EXPECT_EQ(InstallSubDir(sfIde), L"C:\\Velkora\\RADStudio9");
    EXPECT_EQ(InstallSubDir(sfIdeWin32), L"C:\\Velkora\\RADStudio9\\Win32");
    EXPECT_EQ(InstallSubDir(sfIdeWin64), L"C:\\Velkora\\RADStudio9\\Win64");
    EXPECT_EQ(InstallSubDir(0x80 | sfSource), L"C:\\Velkora\\Source");
    EXPECT_EQ(InstallSubDir(5), L"");
    EXPECT_EQ(InstallSubDir(0x7F), L"");
}

TEST(FindTextTest, SingleForwardScanWithoutBacktracking) {
    EXPECT_EQ(FindText(L"aaab", L"aab"), 0) << "the scan never steps back";
    EXPECT_EQ(FindText(L"xaab", L"aab"), 2);
    EXPECT_EQ(FindText(L"abcabd", L"abd"), 4) << "the failing character restarts the match";
    EXPECT_EQ(FindText(L"hello", L"hello"), 1);
    EXPECT_EQ(FindText(L"hello", L"o"), 5);
    EXPECT_EQ(FindText(L"hell", L"hello"), 0);
    EXPECT_EQ(FindText(L"", L"a"), 0);
    EXPECT_EQ(FindText(L"a", L""), 0);
}

TEST(FindTextTest, CaseMattersUnlessBothSidesAreLowerCased) {
    const std::wstring path = L"$(BDS)\\lib;C:\\Program Files\\Velkora\\Source;X";
    const std::wstring entry = L"c:\\program files\\velkora\\source";
    EXPECT_EQ(FindText(path, entry), 0);
    EXPECT_EQ(FindText(LowerCase(path), LowerCase(entry)), 12);
}

TEST(FindTextTest, EightBitVariantScansTheSameWay) {
    EXPECT_EQ(FindTextA("aaab", "aab"), 0);
    EXPECT_EQ(FindTextA("vkl.ohl\r\n:Link vkl.hlp", ":Link"), 10);
    EXPECT_EQ(FindTextA("", "x"), 0);
    EXPECT_EQ(FindTextA("x", ""), 0);
    EXPECT_EQ(FindTextA(LowerCaseA("ABC\xC9"), "c\xE9"), 3) << "system lower-casing in 1252";
}

TEST(LastCharPosTest, OneBasedPositionOfTheLastOccurrence) {
    EXPECT_EQ(LastCharPos(L"Software\\A\\B", L'\\'), 11);
    EXPECT_EQ(LastCharPos(L"Software", L'\\'), 0);
    EXPECT_EQ(LastCharPos(L"", L'\\'), 0);
    EXPECT_EQ(LastCharPos(L"\\", L'\\'), 1);
}

TEST(EncodingTest, AnsiIsTheSystemCodePageAndUtf8RoundTrips) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::wstring text = L"Caf\u00e9 \u20ac";
    EXPECT_EQ(ToAnsi(text), "Caf\xE9 \x80");
    EXPECT_EQ(FromAnsi("Caf\xE9 \x80"), text);
    EXPECT_EQ(ToUtf8(text), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(FromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"), text);
    const std::wstring astral = L"\U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(astral)), astral);
    EXPECT_EQ(ToUtf8(L""), "");
    EXPECT_EQ(FromUtf8(""), L"");
    EXPECT_EQ(ToAnsi(L"\u4e2d"), "?") << "a character outside the code page becomes the default";
}
