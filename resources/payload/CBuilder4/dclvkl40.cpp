//---------------------------------------------------------------------------
// dclvkl40: Velkora design-time package for C++Builder 4.
#include <vcl.h>
#pragma hdrstop
USEPACKAGE("vcl40.bpi");
USEPACKAGE("vkl40.bpi");
USEUNIT("..\Source\VklReg.pas");
//---------------------------------------------------------------------------
#pragma package(smart_init)
//---------------------------------------------------------------------------
// Package entry point, required for packages built by C++Builder.
int WINAPI DllEntryPoint(HINSTANCE hinst, unsigned long reason, void*)
{
    return 1;
}
//---------------------------------------------------------------------------
