//---------------------------------------------------------------------------
// dclvkl60: Velkora design-time package for C++Builder 6.
#include <vcl.h>
#pragma hdrstop
//---------------------------------------------------------------------------
#pragma package(smart_init)
//---------------------------------------------------------------------------
// Package entry point, required for packages built by C++Builder.
int WINAPI DllEntryPoint(HINSTANCE hinst, unsigned long reason, void*)
{
    return 1;
}
//---------------------------------------------------------------------------
