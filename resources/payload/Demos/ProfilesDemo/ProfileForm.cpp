//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "ProfileForm.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma resource "*.dfm"
TProfileForm *ProfileForm;
//---------------------------------------------------------------------------
__fastcall TProfileForm::TProfileForm(TComponent* Owner)
        : TForm(Owner)
{
}
//---------------------------------------------------------------------------
void __fastcall TProfileForm::CloseButtonClick(TObject *Sender)
{
    Close();
}
//---------------------------------------------------------------------------
