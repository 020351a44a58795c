// A whole run of the product's own table with no IDE chosen (context help and demos only) into
// a temporary installation directory, then the uninstaller over the log it wrote. The program
// carries setup.exe's payload.
#include "tests/ScriptTestSupport.h"
#include "uninstall/UDeinstall.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace vktest;

namespace {

constexpr uint32_t ContextHelp = 0x80;
constexpr uint32_t Demos = 0x200;

// What a run of the table must leave, worked out row by row from the table's block rules.
struct Expected {
    std::vector<std::wstring> Lines;         // the file items' install-log lines
    std::vector<std::wstring> Records;       // as Records() renders them
    std::map<std::wstring, uint32_t> Files;  // path -> payload id, as left at the end
    std::set<std::wstring> Directories;
};

bool IsFileItemLine(const std::wstring& line) {
    for (const wchar_t* prefix :
         {L"Creating directory: ", L"Copying file: ", L"Deleting file", L"Clearing directory: ",
          L"Merging files: ", L"Check file: ", L"Run file: "})
        if (line.rfind(prefix, 0) == 0)
            return true;
    return false;
}

std::wstring RecordOf(const TScriptItem& item) {
    wchar_t head[64];
    swprintf(head, 64, L"%x:%x:%d:", ItemIdOf(item),
             static_cast<unsigned>(item.Code), static_cast<int>(item.DirCode));
    return head + (item.ItemType == siProductInfo ? ProductInfoText(item.Code)
                                                  : std::wstring(item.Name ? item.Name : L""));
}

// Only siIfItems blocks are met outside the IDE blocks; anything else is reported.
Expected Expect(uint32_t items, bool templatesPresent, std::wstring& unexpected) {
    Expected expected;
    uint32_t skipKey = 0;
    bool skipping = false;
    for (int row = 0; row < ScriptItemCount; ++row) {
        const TScriptItem& item = ScriptItems[row];
        if (skipping) {
            skipping = !(item.ItemType == siEndIfItems && item.Code == skipKey);
            continue;
        }
        const std::wstring path = ItemPathOf(item);
        switch (item.ItemType) {
        case siIfItems:
            skipping = (item.Code & items) == 0;
            skipKey = item.Code;
            break;
        case siCreateDir:
            expected.Lines.push_back(L"Creating directory: " + path + L"...Success");
            expected.Directories.insert(path);
            break;
        case siExtractFile:
        case siExtractFileIfNewer:
            expected.Lines.push_back(L"Copying file: " + path + L"...Success");
            expected.Files[path] = item.Code;
            break;
        case siExtractFileIfAbsent:
            expected.Lines.push_back(L"Copying file: " + path +
                                     (templatesPresent ? L"...Already" : L"...Success"));
            break;
        case siDeleteFile:
            expected.Lines.push_back(L"Deleting file: " + path + L"...Success");
            expected.Files.erase(path);
            break;
        case siEndIfItems:
        case siProductInfo:
        case siSetHelpDir:
        case siRegisterWinHelp:
        case siRegisterUninstall:
        case siCreateRegKey: break;
        default:
            unexpected +=
                L" row " + std::to_wstring(row) + L" type " + std::to_wstring(item.ItemType);
        }
        if (item.Flags & ifLogUninstall)
            expected.Records.push_back(RecordOf(item));
    }
    return expected;
}

class ScriptRunTest : public ScriptTest {};

TEST_F(ScriptRunTest, HelpAndDemosOnlyWritesWhatTheTableSaysAndTheUninstallerRemovesItAll) {
    InstallItems = ContextHelp | Demos;
    const std::wstring templates = ItemPath(dcWindows, L"vklib.dct");
    const bool templatesPresent = PathExists(templates);
    std::wstring unexpected;
    const Expected expected = Expect(InstallItems, templatesPresent, unexpected);
    ASSERT_EQ(unexpected, L"") << "rows the expectation does not cover";

    TScript script;
    ASSERT_EQ(script.Count(), ScriptItemCount);
    const std::vector<int> results = RunScript(script);
    EXPECT_EQ(results, std::vector<int>(ScriptItemCount, 0));

    const std::wstring logPath = InstallDir + L"\\install.log";
    const std::string bytes = ReadFileBytes(logPath);
    const std::wstring header = L"Start installation for Standard Edition of Velkora v4.07\r\n"
                                L"RootPath: " +
                                InstallDir + L"\r\nBorland products: \r\n";
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(text.substr(0, header.size()), header);
    std::vector<std::wstring> fileLines;
    for (const std::wstring& line : LogLines(logPath))
        if (IsFileItemLine(line))
            fileLines.push_back(line);
    EXPECT_EQ(fileLines, expected.Lines);
    EXPECT_EQ(Records(InstallDir + L"\\uninst.log"), expected.Records);

    for (const std::wstring& dir : expected.Directories)
        EXPECT_TRUE(DirectoryExists(dir)) << dir;
    for (const auto& [path, id] : expected.Files)
        EXPECT_TRUE(ReadFileBytes(path) == Payload(id)) << path;
    EXPECT_GT(expected.Files.size(), 40u);

    TDeinstall deinstall;
    ASSERT_EQ(deinstall.PrepareUninstFile(InstallDir + L"\\uninst.log"), 0);
    ASSERT_EQ(deinstall.PrepareDeinstall(), 0);
    EXPECT_EQ(deinstall.DoDeinstall(), 0);
    EXPECT_FALSE(PathExists(InstallDir));
    EXPECT_EQ(DirectoryEntries(TempDir), std::vector<std::wstring>{});
    if (!templatesPresent)
        DeleteFileW(templates.c_str());
}

}  // namespace
