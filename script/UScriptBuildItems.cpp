// Package build items: the library's packages are built on the target machine with the chosen
// IDE's own command-line compiler (Delphi IDEs) or make utility (C++Builder IDEs).
#include "script/UScript.h"

#include "product/UFiles.h"
#include "product/UPaths.h"
#include "product/UProcess.h"
#include "product/UProducts.h"
#include "support/UText.h"

#include <algorithm>
#include <vector>

using handles::FileHandle;

// A build that hangs (a licence dialog of a broken IDE, say) must not stop the installation.
DWORD BuildTimeoutMs = 45000;

namespace {

struct TBuildTool {
    const wchar_t* File;         // below RootDir
    const wchar_t* Arguments;    // put before the project file name
    const wchar_t* MissingText;  // log prefix when the tool is not there
    int MissingResult;
};

constexpr TBuildTool Dcc32Tool{L"\\bin\\dcc32.exe", L" ",
                               L"Compiling package, cannot find dcc32.exe: ", -3};
constexpr TBuildTool Dcc64Tool{L"\\bin\\dcc64.exe", L" ",
                               L"Compiling package, cannot find dcc64.exe: ", -3};
constexpr TBuildTool MakeTool{L"\\bin\\make.exe", L" /f",
                              L"Compiling package, cannot find make.exe: ", -4};

const TBuildTool& ChooseTool(const TBorlandProduct& product, int32_t platform) {
    if (!product.IsDelphi)
        return MakeTool;
    return platform == plDcc64 ? Dcc64Tool : Dcc32Tool;
}

// The index (1-based) of the lowest set bit of mask; mask must not be 0.
int LowestBitIndex(uint32_t mask) {
    int index = 1;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++index;
    }
    return index;
}

// "45 s" for the shipped bound; a bound of part seconds (tests only) in milliseconds.
std::wstring DurationText(DWORD milliseconds) {
    constexpr DWORD MsPerSecond = 1000;
    return milliseconds % MsPerSecond == 0 ? std::to_wstring(milliseconds / MsPerSecond) + L" s"
                                           : std::to_wstring(milliseconds) + L" ms";
}

void AppendLine(const FileHandle& file, const std::wstring& line) {
    const std::string bytes = ToAnsi(line + L"\r\n");
    DWORD written = 0;
    if (file && !bytes.empty())
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int TScript::DoCompilePackage() {
    FBuildLog.clear();
    const TScriptItem item = GetItem();
    const std::wstring project = item.Name ? item.Name : L"";
    if (item.Code == 0)
        return -1;
    const int index = LowestBitIndex(item.Code);
    if (index > BorlandProductCount)
        return -2;
    // The IDE comes from the item's bit, not from CurrentProduct.
    const TBorlandProduct& product = BorlandProducts[index];
    const TBuildTool& tool = ChooseTool(product, item.Platform);
    const std::wstring program = product.RootDir + tool.File;
    if (product.RootDir.empty() || !IsAbsolutePath(program) || !FileExists(program)) {
        FLogText = tool.MissingText + project + L"...Fail";
        return tool.MissingResult;
    }
    // The program is named separately and quoted in the command line: IDE directories often
    // contain blanks, and an unquoted path would first be tried as "C:\Program.exe".
    const std::wstring commandLine = L"\"" + program + L"\"" + tool.Arguments + project;
    // The tool's output goes to a log beside the project, for the user to read when the
    // package check after the build fails; the build goes ahead without it.
    const std::wstring logPath = JoinPath(CurrentDirectory(), project + L".log");
    const FileHandle log = OpenBuildLog(logPath, commandLine);
    TRunOptions options;
    options.TimeoutMs = BuildTimeoutMs;
    // An empty owner holds INVALID_HANDLE_VALUE, which DuplicateHandle reads as this process.
    options.Output = log ? log.get() : nullptr;
    options.KeepWindowsAlive = FKeepWindowsAlive;
    TRunResult run;
    const DWORD error = RunHidden(program, commandLine, options, run);
    if (error != 0) {
        AppendLine(log, L"Not started: " + SystemErrorText(error));
        return static_cast<int>(error);
    }
    // A tool still running after the bound keeps running; its package check follows.
    AppendLine(log, run.Ended
                        ? L"Exit code: " + std::to_wstring(run.ExitCode)
                        : L"Exit code: none, still running after " + DurationText(BuildTimeoutMs));
    if (log)
        FBuildLog = logPath;
    FLogText = L"Compiling package: " + project + L"...Success";
    return 0;
}

FileHandle TScript::OpenBuildLog(const std::wstring& path, const std::wstring& commandLine) {
    const std::wstring key = LowerCase(path);
    const bool again =
        std::find(FBuildLogsOfRun.begin(), FBuildLogsOfRun.end(), key) != FBuildLogsOfRun.end();
    // Readable while the tool writes it; the log of an earlier run is replaced. A tool of this
    // run that outlived its bound may still hold it open for writing.
    FileHandle log(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, again ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!log)
        return log;
    if (again)
        SetFilePointer(log.get(), 0, nullptr, FILE_END);
    else
        FBuildLogsOfRun.push_back(key);
    AppendLine(log, L"Command line: " + commandLine);
    return log;
}

int TScript::DoCheckBuiltFile() {
    const int result = DoCheckFile();
    if (result != 0 && !FBuildLog.empty())
        FErrorNote = L"Build log: " + FBuildLog;
    FBuildLog.clear();
    return result;
}
