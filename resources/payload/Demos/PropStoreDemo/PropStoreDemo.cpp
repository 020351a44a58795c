//---------------------------------------------------------------------------
// PropStoreDemo: Component properties stored.
#include <vcl.h>
#pragma hdrstop
USEFORM("MainForm.cpp", MainForm);
USEFORM("OptionsForm.cpp", OptionsForm);
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Velkora PropStoreDemo";
        Application->CreateForm(__classid(TMainForm), &MainForm);
        Application->CreateForm(__classid(TOptionsForm), &OptionsForm);
        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
