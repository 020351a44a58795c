//---------------------------------------------------------------------------
// FormStateDemo: Form position and size restored.
#include <vcl.h>
#pragma hdrstop
USEFORM("MainForm.cpp", MainForm);
USEFORM("ChildForm.cpp", ChildForm);
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Velkora FormStateDemo";
        Application->CreateForm(__classid(TMainForm), &MainForm);
        Application->CreateForm(__classid(TChildForm), &ChildForm);
        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
