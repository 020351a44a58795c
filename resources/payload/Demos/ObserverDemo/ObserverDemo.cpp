//---------------------------------------------------------------------------
// ObserverDemo: Observers of changed values.
#include <vcl.h>
#pragma hdrstop
USEFORM("MainForm.cpp", MainForm);
USEFORM("LogForm.cpp", LogForm);
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Velkora ObserverDemo";
        Application->CreateForm(__classid(TMainForm), &MainForm);
        Application->CreateForm(__classid(TLogForm), &LogForm);
        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
