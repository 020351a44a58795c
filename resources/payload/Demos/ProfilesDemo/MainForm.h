//---------------------------------------------------------------------------
#ifndef MAINFORMH
#define MAINFORMH
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
#include "VklRegStore.hpp"
#include "VklFormState.hpp"
//---------------------------------------------------------------------------
class TMainForm : public TForm
{
__published:    // IDE-managed Components
        TVkRegistryStore *Store;
        TEdit *ValueEdit;
        TButton *SaveButton;
        TButton *LoadButton;
        TVkFormState *FormState;
        TButton *OpenButton;
        void __fastcall SaveButtonClick(TObject *Sender);
        void __fastcall LoadButtonClick(TObject *Sender);
        void __fastcall OpenButtonClick(TObject *Sender);
private:        // User declarations
public:         // User declarations
        __fastcall TMainForm(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE TMainForm *MainForm;
//---------------------------------------------------------------------------
#endif
