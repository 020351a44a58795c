//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "LogForm.h"
//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma resource "*.dfm"
TLogForm *LogForm;
//---------------------------------------------------------------------------
__fastcall TLogForm::TLogForm(TComponent* Owner)
        : TForm(Owner)
{
}
//---------------------------------------------------------------------------
void __fastcall TLogForm::CloseButtonClick(TObject *Sender)
{
    Close();
}
//---------------------------------------------------------------------------
