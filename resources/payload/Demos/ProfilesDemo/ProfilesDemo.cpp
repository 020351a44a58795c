//---------------------------------------------------------------------------
// ProfilesDemo: One store, several profiles.
#include <vcl.h>
#pragma hdrstop
USEFORM("MainForm.cpp", MainForm);
USEFORM("ProfileForm.cpp", ProfileForm);
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Velkora ProfilesDemo";
        Application->CreateForm(__classid(TMainForm), &MainForm);
        Application->CreateForm(__classid(TProfileForm), &ProfileForm);
        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
