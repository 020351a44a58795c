// Helpers for the IDE, build and help item tests: a TScript that runs one row of a small table, and
// test IDEs whose "bin" holds the stand-in build tools.
#pragma once

#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/UProducts.h"
#include "script/UScript.h"
#include "support/UHandles.h"
#include "support/UText.h"
#include "tests/ScriptProbe.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vktest {

// Holds the rows of a THandlerProbe: a base, so that they exist before the TScript that reads
// them.
struct TProbeRows {
    std::vector<TScriptItem> Rows;
};

class THandlerProbe : private TProbeRows, public TScript {
public:
    explicit THandlerProbe(std::vector<TScriptItem> items)
        : TProbeRows{std::move(items)}, TScript(Rows.data(), static_cast<int>(Rows.size())) {}

    // Runs row index through the interpreter's dispatch, without logs.
    int Run(int index) {
        SetCurrent(index);
        return ItemDoScript();
    }
};

// One row with every field given by name.
inline TScriptItem Row(uint16_t type, const wchar_t* name, uint32_t code, int32_t dirCode,
                       int32_t platform = 0, const wchar_t* text1 = nullptr,
                       const wchar_t* text2 = nullptr) {
    return {type, 0, name, code, dirCode, text1, text2, 0, platform, nullptr};
}

// The stand-in build tool of a variant: 0 builds, 1 writes nothing, 2 never ends, 3 prints to
// both streams and fails, 4 builds after a pause.
inline std::wstring StandinTool(int variant) {
    return BuildDir() + L"\\fixtures\\standin_tool_" + std::to_wstring(variant) + L".exe";
}

// Copies the stand-in of variant into root\bin under each of names, and creates root\bin's
// "standin.log", in which every run of a tool leaves "<tool>|<current dir>|<command line>".
inline bool InstallStandinTools(const std::wstring& root, int variant,
                                const std::vector<std::wstring>& names) {
    if (CreateDirectoryPath(root + L"\\bin") != 0)
        return false;
    for (const std::wstring& name : names)
        if (!CopyFileW(StandinTool(variant).c_str(), (root + L"\\bin\\" + name).c_str(), FALSE))
            return false;
    return WriteFileBytes(root + L"\\bin\\standin.log", "");
}

// The lines the stand-in tools of root have logged.
inline std::vector<std::string> StandinCalls(const std::wstring& root) {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(root + L"\\bin\\standin.log");
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace vktest
