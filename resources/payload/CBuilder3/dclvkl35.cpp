//---------------------------------------------------------------------------
// dclvkl35: Velkora design-time package for C++Builder 3.
#include <vcl.h>
#pragma hdrstop
USEPACKAGE("vcl35.bpi");
USEPACKAGE("vkl35.bpi");
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
