//---------------------------------------------------------------------------
#ifndef OPTIONSFORMH
#define OPTIONSFORMH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
//---------------------------------------------------------------------------
class TOptionsForm : public TForm
{
__published:    // IDE-managed Components
        TMemo *Memo;
        TButton *CloseButton;
        void __fastcall CloseButtonClick(TObject *Sender);
private:        // User declarations
public:         // User declarations
        __fastcall TOptionsForm(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TOptionsForm *OptionsForm;
//---------------------------------------------------------------------------
#endif
