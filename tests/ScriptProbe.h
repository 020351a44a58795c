// Helpers for the script and uninstaller tests: a TScript that exposes its log writers, fixtures
// that give each test the shared installation state back as it found it, and log readers.
#pragma once

#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/URegistry.h"
#include "product/UProducts.h"
#include "script/UScript.h"
#include "script/UUninstLog.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <string>
#include <vector>

namespace vktest {

class TScriptProbe : public TScript {
public:
    using TScript::TScript;
    using TScript::WriteBinLogRecord;
    using TScript::WriteLog;

    // The uninstall record of every item, in table order, as the interpreter appends them.
    void RecordAll() {
        for (int i = 0; i < Count(); ++i) {
            SetCurrent(i);
            WriteBinLogRecord();
        }
    }
};

// The seven product-information rows that open every uninstall log.
inline std::vector<TScriptItem> HeaderItems() {
    std::vector<TScriptItem> items;
    for (uint32_t code : {1u, 2u, 3u, 4u, 5u, 7u, 6u})
        items.push_back(
            {siProductInfo, ifLogUninstall, nullptr, code, 0, nullptr, nullptr, 0, 0, nullptr});
    return items;
}

inline TScriptItem Item(uint16_t type, const wchar_t* name, int32_t dirCode, uint32_t code = 0,
                        uint16_t flags = ifLogUninstall) {
    return {type, flags, name, code, dirCode, nullptr, nullptr, 0, 0, nullptr};
}

// Writes the uninstall log of items into InstallDir through the real writer and answers its
// path. The install log is switched off so only the uninstall log is written.
inline std::wstring WriteUninstLog(const std::vector<TScriptItem>& items) {
    TScriptProbe script(items.data(), static_cast<int>(items.size()));
    script.SetLogEnable(false);
    script.Start();
    script.RecordAll();
    script.Stop();
    return InstallDir + L"\\uninst.log";
}

// Sandbox plus the process-wide installation state (folder, masks, switches, IDE table and
// choices), restored after each test. InstallDir is the test's "inst" folder (not created).
class InstallStateTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        std::copy(std::begin(BorlandProducts), std::end(BorlandProducts), FProducts.begin());
        std::copy(std::begin(InstallChoices), std::end(InstallChoices), FChoices.begin());
        CopyOnly = false;
        InstallVersions = InstallItems = 0;
        InstallDir = TempPath(L"inst");
    }
    void TearDown() override {
        std::tie(InstallDir, InstallVersions, InstallItems, CustomizeItems, CopyOnly,
                 CurrentProduct, CurrentProductDir) = FState;
        std::copy(FProducts.begin(), FProducts.end(), std::begin(BorlandProducts));
        std::copy(FChoices.begin(), FChoices.end(), std::begin(InstallChoices));
        SandboxTest::TearDown();
    }

private:
    std::tuple<std::wstring, uint32_t, uint32_t, uint32_t, bool, int, std::wstring> FState{
        InstallDir, InstallVersions, InstallItems,     CustomizeItems,
        CopyOnly,   CurrentProduct,  CurrentProductDir};
    std::array<TBorlandProduct, BorlandProductCount + 1> FProducts;
    std::array<TInstallChoice, InstallChoiceCount> FChoices;
};

// The install log's lines after its three header lines (UTF-16LE, CR LF each).
inline std::vector<std::wstring> LogLines(const std::wstring& logPath) {
    const std::string bytes = ReadFileBytes(logPath);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != text.npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines.size() < 3 ? lines : std::vector<std::wstring>(lines.begin() + 3, lines.end());
}

// Each uninstall record as "type:code:dirCode:text" (type hexadecimal with its flags).
inline std::vector<std::wstring> Records(const std::wstring& logPath) {
    const std::string bytes = ReadFileBytes(logPath);
    const TLogBytes log(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (bytes.compare(0, UninstMagicSize, UninstLogMagic) != 0)
        return {L"<bad magic>"};
    std::vector<std::wstring> records;
    size_t pos = UninstMagicSize;
    TRecordRead read;
    for (TUninstRecord record;
         (read = ReadRecordForward(log, pos, log.size(), record)) == TRecordRead::Ok;) {
        wchar_t head[64];
        swprintf(head, 64, L"%x:%x:%d:", unsigned(record.Kind), unsigned(record.Code),
                 int(record.DirCode));
        records.push_back(head + FromUtf8(std::string(record.Text)));
    }
    if (read == TRecordRead::Damaged)
        records.push_back(L"<damaged>");
    return records;
}

// The names in dir without "." and "..", sorted.
inline std::vector<std::wstring> DirectoryEntries(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    for (bool more = bool(search); more; more = FindNextFileW(search.get(), &entry))
        if (std::wstring name = entry.cFileName; name != L"." && name != L"..")
            names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vktest
