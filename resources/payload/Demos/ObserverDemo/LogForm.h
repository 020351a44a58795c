//---------------------------------------------------------------------------
#ifndef LOGFORMH
#define LOGFORMH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
//---------------------------------------------------------------------------
class TLogForm : public TForm
{
__published:    // IDE-managed Components
        TMemo *Memo;
        TButton *CloseButton;
        void __fastcall CloseButtonClick(TObject *Sender);
private:        // User declarations
public:         // User declarations
        __fastcall TLogForm(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TLogForm *LogForm;
//---------------------------------------------------------------------------
#endif
