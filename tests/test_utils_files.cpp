#include "product/UUtils.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

using namespace vktest;

class FilesTest : public SandboxTest {
protected:
    // Creates each relative path: a directory when it ends with a backslash, else a file.
    void Make(std::initializer_list<const wchar_t*> paths) {
        for (const std::wstring path : paths) {
            if (path.back() == L'\\')
                ASSERT_EQ(CreateDirectoryPath(TempPath(path)), 0u) << path;
            else
                ASSERT_TRUE(WriteFileBytes(TempPath(path), "1")) << path;
        }
    }
};

TEST_F(FilesTest, CreateDirectoryPathMakesEveryLevelOrAnswersTheFailingOnesError) {
    const struct {
        std::wstring Path;
        DWORD Error;
    } rows[] = {
        {TempPath(L"A\\B\\C"), 0},
        {TempPath(L"A\\B\\C"), 0}, // all levels already there
        {TempPath(L"A\\D\\"), 0},
        {TempPath(L"A/E/F"), 0},
        {TempPath(L"file\\sub"), ERROR_PATH_NOT_FOUND}, // a file stands where a level should be
        {TempPath(L"Q\\bad<name\\R"), ERROR_INVALID_NAME},
        {L"", 0},
        {TempPath(L"L2\\") + std::wstring(262 - TempPath(L"L2\\").size(), L'y'),
         ERROR_FILENAME_EXCED_RANGE}, // 262 characters: one more than the buffer holds
    };
    Make({L"file"});
    for (const auto& row : rows)
        EXPECT_EQ(CreateDirectoryPath(row.Path), row.Error) << row.Path;
    for (const wchar_t* made : {L"A\\B\\C", L"A\\D", L"A\\E\\F", L"Q"})
        EXPECT_TRUE(DirectoryExists(TempPath(made))) << made << ": levels made stay";
    EXPECT_FALSE(PathExists(TempPath(L"L2")));
    std::wstring fits = TempPath(L"L3\\");
    fits += std::wstring(261 - fits.size(), L'y');
    EXPECT_NE(CreateDirectoryPath(fits), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE))
        << "261 characters still fit the buffer";
    EXPECT_NE(CreateDirectoryPath(L"\\\\"), 0u) << "an empty first level fails";
}

TEST_F(FilesTest, DeleteTreeRemovesEverythingOrEmptiesTheKeptRoot) {
    Make({L"T\\a\\b\\c\\", L"T\\top.txt", L"T\\a\\b\\c\\deep.txt", L"T\\a\\noext", L"K\\sub\\",
          L"K\\f.txt", L"S\\x\\"});
    EXPECT_EQ(DeleteTree(TempPath(L"T"), false), 0u);
    EXPECT_FALSE(PathExists(TempPath(L"T")));
    EXPECT_EQ(DeleteTree(TempPath(L"K"), true), 0u);
    EXPECT_TRUE(DirectoryExists(TempPath(L"K")));
    EXPECT_FALSE(PathExists(TempPath(L"K\\sub")));
    EXPECT_FALSE(PathExists(TempPath(L"K\\f.txt")));
    EXPECT_EQ(DeleteTree(TempPath(L"S\\"), false), 0u) << "a trailing separator";
    EXPECT_FALSE(PathExists(TempPath(L"S")));
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), false), dtDirNotFound);
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), true), 0u);
}

TEST_F(FilesTest, DeleteTreeKeepsReadOnlyFilesAndDotDirectoriesAndSaysSo) {
    Make({L"R\\sub\\", L"R\\sub\\locked.txt", L"R\\free.txt", L"D\\.git\\", L"D\\.git\\config",
          L"D\\.hidden-file"});
    ASSERT_TRUE(
        SetFileAttributesW(TempPath(L"R\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(DeleteTree(TempPath(L"R"), false), dtFileNotDeleted | dtRemoveDirFailed);
    EXPECT_TRUE(PathExists(TempPath(L"R\\sub\\locked.txt")));
    EXPECT_FALSE(PathExists(TempPath(L"R\\free.txt")));
    EXPECT_EQ(DeleteTree(TempPath(L"D"), false), dtRemoveDirFailed);
    EXPECT_TRUE(PathExists(TempPath(L"D\\.git\\config")));
    EXPECT_FALSE(PathExists(TempPath(L"D\\.hidden-file"))) << "only directories are skipped";
}

TEST_F(FilesTest, DeleteTreeRefusesDrivesSharesAndTheEmptyPath) {
    // Each would reach a whole drive or share: refused before anything is searched.
    ASSERT_TRUE(WriteFileBytes(TempPath(L"canary.txt"), "alive"));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (const wchar_t* root :
         {L"", L"\\", L"/", L"C:", L"C:\\", L"c:/", L"Z:\\\\", L"\\\\server\\share",
          L"\\\\server\\share\\", L"\\\\server", L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share"}) {
        EXPECT_EQ(DeleteTree(root, false), dtDirNotFound) << root;
        EXPECT_EQ(DeleteTree(root, true), dtDirNotFound) << root;
    }
    EXPECT_EQ(ReadFileBytes(TempPath(L"canary.txt")), "alive");
    EXPECT_TRUE(DirectoryExists(L"C:\\windows"));
}

TEST_F(FilesTest, ExtractResourceFileWritesThePayloadByteForByteOverAnOldFile) {
    const std::wstring fixtures = SourceDir() + L"\\tests\\fixtures\\";
    ASSERT_TRUE(WriteFileBytes(TempPath(L"seven.txt"), std::string(100000, 'z')));
    const struct {
        int Id;
        const wchar_t* Target;
        std::string Expected;
    } rows[] = {{7, L"seven.txt", ReadFileBytes(fixtures + L"payload7.txt")},
                {1000, L"big.bin", ReadFileBytes(fixtures + L"payload1000.bin")},
                {12, L"empty.txt", ""}};
    ASSERT_EQ(rows[1].Expected.size(), 65536u + 123u);
    for (const auto& row : rows) {
        EXPECT_EQ(ExtractResourceFile(row.Id, TempPath(row.Target)), 0u) << row.Id;
        EXPECT_TRUE(PathExists(TempPath(row.Target))) << row.Id;
        EXPECT_TRUE(ReadFileBytes(TempPath(row.Target)) == row.Expected) << row.Id << " differs";
    }
}

TEST_F(FilesTest, ExtractResourceFileErrorsWriteNothingAndKeepAFileInUse) {
    ASSERT_EQ(CreateDirectoryPath(TempPath(L"IsDir")), 0u);
    // 8 is an RCDATA resource, not payload; the others are no payload ids at all.
    for (int id : {8, 999, 0, -1, 0x10000})
        EXPECT_EQ(ExtractResourceFile(id, TempPath(L"x")),
                  static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND))
            << id;
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"NoDir\\x")),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"IsDir")), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(PathExists(TempPath(L"x")));

    ASSERT_TRUE(WriteFileBytes(TempPath(L"busy.txt"), "keep"));
    handles::FileHandle open(CreateFileW(TempPath(L"busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"busy.txt")),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    open.reset();
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
