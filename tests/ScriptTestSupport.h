// Helpers for the interpreter and file-item tests: a fixture that also restores the run switches
// and masks, readers for both logs, the payload and directory listings.
#pragma once

#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "script/UUninstLog.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "tests/ScriptProbe.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vktest {

// The installation state plus the copy-only switch and the item mask, restored after each
// test; InstallDir is the test's "inst" directory (not created).
class ScriptTest : public InstallStateTest {
protected:
    void SetUp() override {
        InstallStateTest::SetUp();
        FCopyOnly = CopyOnly;
        FItems = InstallItems;
        CopyOnly = false;
        InstallVersions = 0;
        InstallItems = 0;
        InstallDir = TempPath(L"inst");
    }
    void TearDown() override {
        CopyOnly = FCopyOnly;
        InstallItems = FItems;
        InstallStateTest::TearDown();
    }

private:
    bool FCopyOnly = false;
    uint32_t FItems = 0;
};

// Runs every item of the script as the progress page does, logs open, and answers the results.
inline std::vector<int> RunScript(TScript& script) {
    std::vector<int> results;
    script.Start();
    for (script.SetCurrent(0); script.Current() < script.Count();
         script.SetCurrent(script.Current() + 1))
        results.push_back(script.ItemDoScript());
    script.Stop();
    return results;
}

inline std::vector<int> RunItems(const std::vector<TScriptItem>& items) {
    TScript script(items.data(), static_cast<int>(items.size()));
    return RunScript(script);
}

// The install log's lines after its three header lines (UTF-16LE, CR LF each).
inline std::vector<std::wstring> LogLines(const std::wstring& logPath) {
    const std::string bytes = ReadFileBytes(logPath);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                            bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size())
        lines.push_back(L"<unterminated> " + text.substr(start));
    if (lines.size() < 3)
        return {L"<no header>"};
    return std::vector<std::wstring>(lines.begin() + 3, lines.end());
}

// One uninstall record as "type:code:dirCode:text" (type hexadecimal with its flags).
inline std::vector<std::wstring> Records(const std::wstring& logPath) {
    const std::string bytes = ReadFileBytes(logPath);
    const TLogBytes log(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::vector<std::wstring> records;
    if (bytes.compare(0, UninstMagicSize, UninstLogMagic) != 0)
        return {L"<bad magic>"};
    size_t pos = UninstMagicSize;
    TUninstRecord record;
    TRecordRead read;
    while ((read = ReadRecordForward(log, pos, log.size(), record)) == TRecordRead::Ok) {
        wchar_t head[64];
        swprintf(head, 64, L"%x:%x:%d:", static_cast<unsigned>(record.Kind),
                 static_cast<unsigned>(record.Code), static_cast<int>(record.DirCode));
        records.push_back(head + FromUtf8(std::string(record.Text)));
    }
    if (read == TRecordRead::Damaged)
        records.push_back(L"<damaged>");
    return records;
}

// The bytes of the payload resource id, or "<no payload>".
inline std::string Payload(uint32_t id) {
    const void* data = nullptr;
    DWORD size = 0;
    if (FindPayload(static_cast<int>(id), data, size) != 0)
        return "<no payload>";
    return std::string(static_cast<const char*>(data), size);
}

// The names in dir without "." and "..", sorted.
inline std::vector<std::wstring> DirectoryEntries(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    handles::FindHandle search(FindFirstFileW((dir + L"\\*").c_str(), &entry));
    if (!search)
        return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search.get(), &entry));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace vktest
