// Helpers for the log and uninstaller tests: a TScript that exposes its log writers, and a
// fixture that gives each test the shared installation state back as it found it.
#pragma once

#include "product/UConst.h"
#include "product/UProducts.h"
#include "script/UScript.h"
#include "tests/TestSupport.h"

#include <array>
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

// Sandbox plus the process-wide installation state, restored after each test.
class InstallStateTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        FInstallDir = InstallDir;
        FVersions = InstallVersions;
        FProduct = CurrentProduct;
        FProductDir = CurrentProductDir;
        for (int i = 0; i <= BorlandProductCount; ++i)
            FProducts[i] = {BorlandProducts[i].RootDir, BorlandProducts[i].Exists,
                            BorlandProducts[i].Selected};
    }
    void TearDown() override {
        InstallDir = FInstallDir;
        InstallVersions = FVersions;
        CurrentProduct = FProduct;
        CurrentProductDir = FProductDir;
        for (int i = 0; i <= BorlandProductCount; ++i) {
            BorlandProducts[i].RootDir = FProducts[i].RootDir;
            BorlandProducts[i].Exists = FProducts[i].Exists;
            BorlandProducts[i].Selected = FProducts[i].Selected;
        }
        SandboxTest::TearDown();
    }

private:
    struct SavedProduct {
        std::wstring RootDir;
        bool Exists = false;
        bool Selected = false;
    };
    std::wstring FInstallDir;
    uint32_t FVersions = 0;
    int FProduct = 0;
    std::wstring FProductDir;
    std::array<SavedProduct, BorlandProductCount + 1> FProducts;
};

}  // namespace vktest
