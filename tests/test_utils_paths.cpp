#include "product/UConst.h"
#include "product/UPaths.h"
#include "product/UProducts.h"
#include "support/UText.h"

#include <gtest/gtest.h>

TEST(JoinPathTest, OneBackslashBetweenTheTwoPartsAndNoOtherNormalisation) {
    const wchar_t* const rows[][3] = {{L"C:\\Lib", L"Source", L"C:\\Lib\\Source"},
                                      {L"C:\\Lib\\", L"Source", L"C:\\Lib\\Source"},
                                      {L"C:\\Lib", L"\\Source", L"C:\\Lib\\Source"},
                                      {L"", L"Source", L"Source"},
                                      {L"C:\\Lib", L"", L"C:\\Lib"},
                                      {L"C:/Lib", L"Source", L"C:/Lib\\Source"}};
    for (const auto& row : rows)
        EXPECT_EQ(JoinPath(row[0], row[1]), row[2]) << row[0] << " + " << row[1];
}

TEST(FindTextTest, OneBasedSingleForwardScanWithoutBacktracking) {
    const std::tuple<const wchar_t*, const wchar_t*, int> rows[] = {
        {L"aaab", L"aab", 0},                          // the scan never steps back
        {L"xaab", L"aab", 2}, {L"abcabd", L"abd", 4},  // the failing character restarts the match
        {L"hello", L"o", 5},  {L"hell", L"hello", 0},
        {L"a", L"", 0},       {L"C:\\Program Files", L"c:\\program files", 0},  // case matters
    };
    for (const auto& [text, pattern, position] : rows) {
        EXPECT_EQ(FindText(text, pattern), position) << text << " / " << pattern;
        EXPECT_EQ(FindTextA(ToAnsi(text), ToAnsi(pattern)), position) << text << " / " << pattern;
    }
}

class DirectoryCodes : public ::testing::Test {
protected:
    void TearDown() override {
        InstallDir = FSavedInstallDir;
        BorlandProducts[12].RootDir = FSavedRoot;
        CurrentProduct = 0;
        CurrentProductDir.clear();
    }
    const std::wstring FSavedInstallDir = InstallDir, FSavedRoot = BorlandProducts[12].RootDir;
};

TEST_F(DirectoryCodes, BaseDirAndInstallSubDirAnswerEachCodeAndEmptyForUnknownOnes) {
    InstallDir = L"C:\\Velkora";
    BorlandProducts[12].RootDir = L"C:\\IDE\\Studio";
    EXPECT_EQ(LowerCase(BaseDir(dcWindows) + L"|" + BaseDir(dcSystem)),
              L"c:\\windows|c:\\windows\\system32");
    EXPECT_EQ(BaseDir(dcTemp).back(), L'\\');
    EXPECT_EQ(BaseDir(dcInstall), L"C:\\Velkora");
    for (int code : {0, 7, -3, 0x100})
        EXPECT_EQ(BaseDir(code), L"") << code;
    for (int product : {0, -1, 29}) {  // the IDE codes need a valid current product
        CurrentProduct = product;
        EXPECT_EQ(BaseDir(dcIdeRoot) + BaseDir(dcIdeHelp), L"") << product;
    }
    CurrentProduct = 12;
    EXPECT_EQ(BaseDir(dcIdeRoot), L"C:\\IDE\\Studio");
    EXPECT_EQ(BaseDir(dcIdeHelp), L"C:\\IDE\\Studio\\Help\\");

    CurrentProductDir = L"RADStudio9";
    const std::pair<int, const wchar_t*> rows[] = {
        {sfInstall, L"C:\\Velkora"},
        {sfSource, L"C:\\Velkora\\Source"},
        {sfIde, L"C:\\Velkora\\RADStudio9"},
        {sfIdeWin32, L"C:\\Velkora\\RADStudio9\\Win32"},
        {sfIdeWin64, L"C:\\Velkora\\RADStudio9\\Win64"},
        {0x80 | sfSource, L"C:\\Velkora\\Source"},  // only the low seven bits count
        {5, L""},
    };
    for (const auto& [code, path] : rows)
        EXPECT_EQ(InstallSubDir(code), path) << code;
}
