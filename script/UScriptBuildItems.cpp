// Package build items: the library's packages are built on the target machine with the chosen
// IDE's own command-line compiler (Delphi IDEs) or make utility (C++Builder IDEs).
#include "script/UScript.h"

#include "product/UProducts.h"
#include "product/UUtils.h"

#include <vector>

using handles::KernelHandle;

namespace {

// A build that hangs (a licence dialog of a broken IDE, say) must not stop the installation.
constexpr DWORD BuildTimeoutMs = 45000;

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
    return platform == 1 ? Dcc64Tool : Dcc32Tool;
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

// Starts the tool hidden and waits for it, at most BuildTimeoutMs. 0, or the Win32 error of the
// start.
DWORD StartAndWaitBounded(const std::wstring& program, const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    // CreateProcessW may write into the command line, so it gets a private copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info{};
    // The program is named separately and quoted in the command line: IDE directories often
    // contain blanks, and an unquoted path would first be tried as "C:\Program.exe". Default
    // security: no other process gets rights on the (possibly elevated) compiler.
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    const KernelHandle process(info.hProcess);
    const KernelHandle thread(info.hThread);
    // A tool still running after the bound keeps running; its package check follows.
    WaitForSingleObject(process.get(), BuildTimeoutMs);
    return 0;
}

}  // namespace

int TScript::DoCompilePackage() {
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
    const DWORD error =
        StartAndWaitBounded(program, L"\"" + program + L"\"" + tool.Arguments + project);
    if (error != 0)
        return static_cast<int>(error);
    FLogText = L"Compiling package: " + project + L"...Success";
    return 0;
}
