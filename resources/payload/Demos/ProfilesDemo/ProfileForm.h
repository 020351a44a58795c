//---------------------------------------------------------------------------
#ifndef PROFILEFORMH
#define PROFILEFORMH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
//---------------------------------------------------------------------------
class TProfileForm : public TForm
{
__published:    // IDE-managed Components
        TMemo *Memo;
        TButton *CloseButton;
        void __fastcall CloseButtonClick(TObject *Sender);
private:        // User declarations
public:         // User declarations
        __fastcall TProfileForm(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TProfileForm *ProfileForm;
//---------------------------------------------------------------------------
#endif
