#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

using FilesTest = SandboxTest;

TEST_F(FilesTest, CreateDirectoryPathCreatesEveryLevelAndAcceptsExistingOnes) {
    const std::wstring deep = TempPath(L"A\\B\\C");
    EXPECT_EQ(CreateDirectoryPath(deep), 0u);
    EXPECT_TRUE(DirectoryExists(TempPath(L"A")));
    EXPECT_TRUE(DirectoryExists(TempPath(L"A\\B")));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_EQ(CreateDirectoryPath(deep), 0u) << "all levels already there";
    EXPECT_EQ(CreateDirectoryPath(TempPath(L"A\\D\\")), 0u) << "a trailing separator is harmless";
    EXPECT_EQ(CreateDirectoryPath(TempPath(L"A/E/F")), 0u) << "a slash separates too";
    EXPECT_TRUE(DirectoryExists(TempPath(L"A\\E\\F")));
}

TEST_F(FilesTest, CreateDirectoryPathReportsTheFailingLevelAndKeepsTheLevelsMade) {
    ASSERT_TRUE(WriteFileBytes(TempPath(L"file"), "x"));
    EXPECT_EQ(CreateDirectoryPath(TempPath(L"New\\file\\sub")), 0u);
    EXPECT_EQ(CreateDirectoryPath(TempPath(L"file\\sub")), static_cast<DWORD>(ERROR_PATH_NOT_FOUND))
        << "a file stands where a directory level should be";
    EXPECT_EQ(CreateDirectoryPath(TempPath(L"Q\\bad<name\\R")), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_TRUE(DirectoryExists(TempPath(L"Q"))) << "levels already created stay";
    EXPECT_NE(CreateDirectoryPath(L"\\\\"), 0u) << "an empty first level fails";
}

TEST_F(FilesTest, CreateDirectoryPathRejectsEmptyAndOverlongPathsCreatingNothing) {
    EXPECT_EQ(CreateDirectoryPath(L""), 0u);
    std::wstring longPath = TempPath(L"L1\\") + std::wstring(300, L'x');
    EXPECT_EQ(CreateDirectoryPath(longPath), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(PathExists(TempPath(L"L1")));
    std::wstring exact = TempPath(L"L2\\");
    exact += std::wstring(261 - exact.size(), L'y');
    ASSERT_EQ(exact.size(), 261u);
    EXPECT_NE(CreateDirectoryPath(exact), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE))
        << "261 characters still fit the buffer";
    std::wstring over = exact + L"z";
    EXPECT_EQ(CreateDirectoryPath(over), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(FilesTest, DeleteTreeRemovesEverythingAndReportsZero) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"T\\a\\b\\c")), 0u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"T\\top.txt"), "1"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"T\\a\\b\\c\\deep.txt"), "2"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"T\\a\\noext"), "3"));
    EXPECT_EQ(DeleteTree(TempPath(L"T"), false), 0u);
    EXPECT_FALSE(PathExists(TempPath(L"T")));
}

TEST_F(FilesTest, DeleteTreeKeepRootEmptiesButKeepsTheDirectory) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"K\\sub")), 0u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"K\\f.txt"), "1"));
    EXPECT_EQ(DeleteTree(TempPath(L"K"), true), 0u);
    EXPECT_TRUE(DirectoryExists(TempPath(L"K")));
    EXPECT_FALSE(PathExists(TempPath(L"K\\sub")));
    EXPECT_FALSE(PathExists(TempPath(L"K\\f.txt")));
}

TEST_F(FilesTest, DeleteTreeOnAMissingDirectory) {
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), false), dtDirNotFound);
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), true), 0u);
}

TEST_F(FilesTest, DeleteTreeReportsAReadOnlyFileAndTheDirectoryItKept) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"R\\sub")), 0u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"R\\sub\\locked.txt"), "1"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"R\\free.txt"), "1"));
    ASSERT_TRUE(SetFileAttributesW(TempPath(L"R\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(DeleteTree(TempPath(L"R"), false), dtFileNotDeleted | dtRemoveDirFailed);
    EXPECT_TRUE(PathExists(TempPath(L"R\\sub\\locked.txt")));
    EXPECT_FALSE(PathExists(TempPath(L"R\\free.txt")));
}

TEST_F(FilesTest, DeleteTreeSkipsDirectoriesWhoseNameStartsWithADot) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"D\\.git")), 0u);
    ASSERT_TRUE(WriteFileBytes(TempPath(L"D\\.git\\config"), "1"));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"D\\.hidden-file"), "1"));
    EXPECT_EQ(DeleteTree(TempPath(L"D"), false), dtRemoveDirFailed);
    EXPECT_TRUE(PathExists(TempPath(L"D\\.git\\config")));
    EXPECT_FALSE(PathExists(TempPath(L"D\\.hidden-file"))) << "only directories are skipped";
}

TEST_F(FilesTest, DeleteTreeAcceptsATrailingSeparator) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"S\\x")), 0u);
    EXPECT_EQ(DeleteTree(TempPath(L"S\\"), false), 0u);
    EXPECT_FALSE(PathExists(TempPath(L"S")));
}

TEST_F(FilesTest, DeleteTreeRefusesDrivesSharesAndTheEmptyPath) {
    // Each would reach a whole drive or share: refused before anything is searched.
    ASSERT_TRUE(WriteFileBytes(TempPath(L"canary.txt"), "alive"));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (const wchar_t* root : {L"", L"\\", L"/", L"C:", L"C:\\", L"c:/", L"Z:\\\\",
                                L"\\\\server\\share", L"\\\\server\\share\\", L"\\\\server",
                                L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share"}) {
        EXPECT_EQ(DeleteTree(root, false), dtDirNotFound) << root;
        EXPECT_EQ(DeleteTree(root, true), dtDirNotFound) << root;
    }
    EXPECT_EQ(ReadFileBytes(TempPath(L"canary.txt")), "alive");
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_TRUE(DirectoryExists(windows));
}

TEST_F(FilesTest, ExtractResourceFileWritesThePayloadByteForByte) {
    const std::wstring fixtures = SourceDir() + L"\\tests\\fixtures\\";
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"seven.txt")), 0u);
    EXPECT_EQ(ReadFileBytes(TempPath(L"seven.txt")), ReadFileBytes(fixtures + L"payload7.txt"));
    EXPECT_EQ(ExtractResourceFile(1000, TempPath(L"big.bin")), 0u);
    const std::string big = ReadFileBytes(TempPath(L"big.bin"));
    EXPECT_EQ(big.size(), 65536u + 123u);
    EXPECT_TRUE(big == ReadFileBytes(fixtures + L"payload1000.bin")) << "payload bytes differ";
    EXPECT_EQ(ExtractResourceFile(12, TempPath(L"empty.txt")), 0u);
    EXPECT_TRUE(PathExists(TempPath(L"empty.txt")));
    EXPECT_EQ(ReadFileBytes(TempPath(L"empty.txt")), "");
}

TEST_F(FilesTest, ExtractResourceFileReplacesAnExistingFile) {
    ASSERT_TRUE(WriteFileBytes(TempPath(L"seven.txt"), std::string(100000, 'z')));
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"seven.txt")), 0u);
    EXPECT_EQ(ReadFileBytes(TempPath(L"seven.txt")).substr(0, 7), "Velkora");
    EXPECT_LT(ReadFileBytes(TempPath(L"seven.txt")).size(), 100u);
}

TEST_F(FilesTest, ExtractResourceFileErrors) {
    EXPECT_EQ(ExtractResourceFile(8, TempPath(L"x")), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND))
        << "an RCDATA resource is not payload";
    EXPECT_EQ(ExtractResourceFile(999, TempPath(L"x")), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    for (int bad : {0, -1, 0x10000})
        EXPECT_EQ(ExtractResourceFile(bad, TempPath(L"x")), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_FALSE(PathExists(TempPath(L"x")));
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"NoDir\\x")), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"IsDir")), 0u);
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"IsDir")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FilesTest, ExtractResourceFileFailsOnAFileOpenElsewhereAndLeavesIt) {
    ASSERT_TRUE(WriteFileBytes(TempPath(L"busy.txt"), "keep"));
    HANDLE open = CreateFileW(TempPath(L"busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"busy.txt")), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(open);
    EXPECT_EQ(ReadFileBytes(TempPath(L"busy.txt")), "keep");
}

TEST_F(FilesTest, ExistenceChecksTellFilesFromDirectories) {
    ASSERT_TRUE(WriteFileBytes(TempPath(L"f"), ""));
    EXPECT_TRUE(FileExists(TempPath(L"f")));
    EXPECT_FALSE(DirectoryExists(TempPath(L"f")));
    EXPECT_TRUE(DirectoryExists(TempDir));
    EXPECT_FALSE(FileExists(TempDir));
    EXPECT_FALSE(FileExists(TempPath(L"none")));
    EXPECT_FALSE(DirectoryExists(TempPath(L"none")));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    EXPECT_EQ(LowerCase(CurrentDirectory()), LowerCase(TempDir));
}
