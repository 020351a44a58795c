#include "product/UFiles.h"
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
    const std::wstring tooLong =
        TempPath(L"L2\\") + std::wstring(262 - TempPath(L"L2\\").size(), L'y');
    std::wstring fits = TempPath(L"L3\\");
    fits += std::wstring(261 - fits.size(), L'y');
    const std::pair<std::wstring, DWORD> rows[] = {
        {TempPath(L"A\\B\\C"), 0},
        {TempPath(L"A\\B\\C"), 0},  // all levels already there
        {TempPath(L"A/E/F\\"), 0},
        {TempPath(L"file\\sub"), ERROR_PATH_NOT_FOUND},  // a file stands where a level should be
        {L"", 0},                                        // nothing to create
        {tooLong, ERROR_FILENAME_EXCED_RANGE},           // one more than the buffer holds
        {fits, 0},
    };
    Make({L"file"});
    for (const auto& [path, error] : rows)
        EXPECT_EQ(CreateDirectoryPath(path), error) << path;
    for (const std::wstring& made : {TempPath(L"A\\B\\C"), TempPath(L"A\\E\\F"), fits})
        EXPECT_TRUE(DirectoryExists(made)) << made;
    EXPECT_FALSE(PathExists(TempPath(L"L2"))) << "a path too long creates no level";
}

TEST_F(FilesTest, DeleteTreeRemovesWhatItCanAndAnswersWhatItLeft) {
    Make({L"T\\a\\b\\", L"T\\top.txt", L"T\\a\\b\\deep.txt", L"K\\sub\\", L"K\\f.txt", L"R\\sub\\",
          L"R\\sub\\locked.txt", L"R\\free.txt"});
    EXPECT_EQ(DeleteTree(TempPath(L"T\\"), false), 0u);
    EXPECT_FALSE(PathExists(TempPath(L"T")));
    EXPECT_EQ(DeleteTree(TempPath(L"K"), true), 0u);
    EXPECT_TRUE(DirectoryExists(TempPath(L"K")));
    EXPECT_FALSE(PathExists(TempPath(L"K\\sub")) || PathExists(TempPath(L"K\\f.txt")));
    ASSERT_TRUE(
        SetFileAttributesW(TempPath(L"R\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(DeleteTree(TempPath(L"R"), false), dtFileNotDeleted | dtRemoveDirFailed);
    EXPECT_TRUE(PathExists(TempPath(L"R\\sub\\locked.txt")));
    EXPECT_FALSE(PathExists(TempPath(L"R\\free.txt")));
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), false), dtDirNotFound);
    EXPECT_EQ(DeleteTree(TempPath(L"Missing"), true), 0u);
}

TEST_F(FilesTest, DeleteTreeRefusesDrivesSharesAndTheEmptyPath) {
    // Each would reach a whole drive or share: refused before anything is searched.
    ASSERT_TRUE(WriteFileBytes(TempPath(L"canary.txt"), "alive"));
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    for (const wchar_t* root : {L"", L"\\", L"C:", L"C:\\", L"c:/", L"\\\\server\\share\\",
                                L"\\\\server", L"\\\\?\\C:\\", L"\\\\?\\UNC\\server\\share"}) {
        EXPECT_EQ(DeleteTree(root, false), dtDirNotFound) << root;
        EXPECT_EQ(DeleteTree(root, true), dtDirNotFound) << root;
    }
    EXPECT_EQ(ReadFileBytes(TempPath(L"canary.txt")), "alive");
}

TEST_F(FilesTest, DeleteTreeNeverEntersALink) {
    // Wine shows a Linux directory symlink as a reparse point. It starts Linux programs too, but
    // without a process handle, so their work is awaited.
    Make({L"tree\\", L"target\\", L"target\\keep.txt"});
    ASSERT_TRUE(SetCurrentDirectoryW(TempDir.c_str()));
    const std::wstring link = TempPath(L"tree\\link");
    auto linkAttributes = [&] { return GetFileAttributesW(link.c_str()); };
    ChildProcess ln, rm;
    StartProcess(ln, HostPath(L"/bin/ln"), L"-s ../target tree/link");
    ASSERT_TRUE(Eventually([&] { return linkAttributes() == 0x410; }, 10000)) << ln.StartError;
    // Wine's RemoveDirectoryW acts on a link's target, so it cannot remove the link itself: what
    // is checked is that the target is never entered, as the tree's root or inside the tree.
    EXPECT_EQ(DeleteTree(link, true), 0u);
    DeleteTree(link, false);
    DeleteTree(TempPath(L"tree"), false);
    EXPECT_EQ(ReadFileBytes(TempPath(L"target\\keep.txt")), "1") << "the link's target was entered";
    StartProcess(rm, HostPath(L"/bin/rm"), L"tree/link");
    EXPECT_TRUE(Eventually([&] { return linkAttributes() == INVALID_FILE_ATTRIBUTES; }, 10000));
}

TEST_F(FilesTest, ExtractResourceFileWritesThePayloadByteForByteOrNothing) {
    const std::wstring fixtures = SourceDir() + L"\\tests\\fixtures\\";
    ASSERT_TRUE(WriteFileBytes(TempPath(L"seven.txt"), std::string(100000, 'z')));
    const std::pair<int, std::string> rows[] = {
        {7, ReadFileBytes(fixtures + L"payload7.txt")},        // over a longer old file
        {1000, ReadFileBytes(fixtures + L"payload1000.bin")},  // beyond 64 KiB
        {12, ""}};
    ASSERT_EQ(rows[1].second.size(), 65536u + 123u);
    for (const auto& [id, expected] : rows) {
        const std::wstring target = TempPath(id == 7 ? L"seven.txt" : std::to_wstring(id));
        EXPECT_EQ(ExtractResourceFile(id, target), 0u) << id;
        EXPECT_TRUE(PathExists(target) && ReadFileBytes(target) == expected) << id << " differs";
    }
    // 8 is an RCDATA resource, not payload; the others are no payload ids at all.
    for (int id : {8, 999, 0, -1, 0x10000})
        EXPECT_EQ(ExtractResourceFile(id, TempPath(L"x")), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND))
            << id;
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"NoDir\\x")), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(PathExists(TempPath(L"x")));
    ASSERT_TRUE(WriteFileBytes(TempPath(L"busy.txt"), "keep"));
    handles::FileHandle open(CreateFileW(TempPath(L"busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(ExtractResourceFile(7, TempPath(L"busy.txt")), DWORD(ERROR_SHARING_VIOLATION));
    open.reset();
    EXPECT_EQ(ReadFileBytes(TempPath(L"busy.txt")), "keep");
}
