//---------------------------------------------------------------------------
// vkl40: Velkora run-time package for C++Builder 4.
#include <vcl.h>
#pragma hdrstop
USEPACKAGE("vcl40.bpi");
USEUNIT("..\Source\VklConsts.pas");
USEUNIT("..\Source\VklStore.pas");
USEUNIT("..\Source\VklIniStore.pas");
USEUNIT("..\Source\VklRegStore.pas");
USEUNIT("..\Source\VklMemStore.pas");
USEUNIT("..\Source\VklFormState.pas");
USEUNIT("..\Source\VklPropStore.pas");
USEUNIT("..\Source\VklAbout.pas");
USEUNIT("..\Source\VklConvert.pas");
USEUNIT("..\Source\VklNotify.pas");
USEUNIT("..\Source\VklLocks.pas");
USEUNIT("..\Source\VklCache.pas");
USEUNIT("..\Source\VklIniParser.pas");
USEUNIT("..\Source\VklIniWriter.pas");
USEUNIT("..\Source\VklStrUtils.pas");
USEUNIT("..\Source\VklPaths.pas");
USEUNIT("..\Source\VklRegAccess.pas");
USEUNIT("..\Source\VklMonitors.pas");
USEUNIT("..\Source\VklRtti.pas");
USEUNIT("..\Source\VklBase64.pas");
USEUNIT("..\Source\VklCrc32.pas");
USEUNIT("..\Source\VklObfuscate.pas");
USEUNIT("..\Source\VklStreams.pas");
USEUNIT("..\Source\VklMru.pas");
USEUNIT("..\Source\VklEnv.pas");
//---------------------------------------------------------------------------
#pragma package(smart_init)
//---------------------------------------------------------------------------
// Package entry point, required for packages built by C++Builder.
int WINAPI DllEntryPoint(HINSTANCE hinst, unsigned long reason, void*)
{
    return 1;
}
//---------------------------------------------------------------------------
