//---------------------------------------------------------------------------
#ifndef CHILDFORMH
#define CHILDFORMH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
//---------------------------------------------------------------------------
class TChildForm : public TForm
{
__published:    // IDE-managed Components
        TMemo *Memo;
        TButton *CloseButton;
        void __fastcall CloseButtonClick(TObject *Sender);
private:        // User declarations
public:         // User declarations
        __fastcall TChildForm(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TChildForm *ChildForm;
//---------------------------------------------------------------------------
#endif
