// Test IDEs whose "bin" holds the stand-in build tools.
#pragma once

#include "tests/ScriptProbe.h"

namespace vktest {

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
