#include "script/UScriptItems.h"

#include "product/UUtils.h"

const TPackageFile PackageFiles[PackageFileCount] = {
    {L"vkl40.bpl", dcSystem},   {L"vkl50.bpl", dcSystem},   {L"vkl60.bpl", dcSystem},
    {L"vkl2006.bpl", dcSystem}, {L"vkl2007.bpl", dcSystem}, {L"vkl2009.bpl", dcSystem},
    {L"vkl2010.bpl", dcSystem}, {L"vkl150.bpl", dcSystem},  {L"vkl160.bpl", dcSystem},
    {L"vkl170.bpl", dcSystem},  {L"vkl180.bpl", dcSystem},  {L"vkl190.bpl", dcSystem},
    {L"vkl200.bpl", dcSystem},  {L"vkl210.bpl", dcSystem},  {L"vkl220.bpl", dcSystem},
    {L"vkl230.bpl", dcSystem},  {L"vkl240.bpl", dcSystem},  {L"vkl250.bpl", dcSystem},
    {L"vkl260.bpl", dcSystem},  {L"vkl270.bpl", dcSystem},  {L"vkl280.bpl", dcSystem},
};

// clang-format off
const TScriptItem ScriptItems[] = {
    // Product information: the header records of the uninstall log.
    {siProductInfo, 1, nullptr, 1, 0, nullptr, nullptr, 0, 0, nullptr},
    {siProductInfo, 1, nullptr, 2, 0, nullptr, nullptr, 0, 0, nullptr},
    {siProductInfo, 1, nullptr, 3, 0, nullptr, nullptr, 0, 0, nullptr},
    {siProductInfo, 1, nullptr, 4, 0, nullptr, nullptr, 0, 0, nullptr},
    {siProductInfo, 1, nullptr, 5, 0, nullptr, nullptr, 0, 0, nullptr},
    {siProductInfo, 1, nullptr, 7, 0, nullptr, nullptr, 0, 0, nullptr},
    {siProductInfo, 1, nullptr, 6, 0, nullptr, nullptr, 0, 0, nullptr},
    // The installation directory and the library sources.
    {siCreateDir, 1, L"", 0, dcInstall, nullptr, nullptr, 0, 0, nullptr},
    {siCreateDir, 1, L"Source", 0, dcInstall, nullptr, nullptr, 0, 0, nullptr},
};
// clang-format on

const int ScriptItemRows = static_cast<int>(sizeof(ScriptItems) / sizeof(ScriptItems[0]));
