// The welcome page and the IDE selection page.
#include "wizard/UPage.h"

#include "product/UCommandLine.h"
#include "product/UConst.h"
#include "product/UProducts.h"
#include "wizard/UbrmCheckListBox.h"

TPageSelectDelphi* SelectDelphiPage = nullptr;

namespace {
const wchar_t* const LineBreaks = L"\r\n\r\n";
}

// ---- TPageWelcome ----

int TPageWelcome::Show() {
    ResizePageText(1);
    const std::wstring text =
        std::wstring(L"Welcome to the ") + sProductName +
        L" Setup program. This program will install " + ProductTitle() + L" on you computer." +
        LineBreaks + sProductDescription +
        L"It is strongly recommended that you exit all version of Delphi and CBuilder " +
        L"before running this Setup program." + LineBreaks +
        L"Click Next to continue with the Setup program.";
    SetItemText(idcPageText, text);
    ShowItem(idcPageText, true);
    SetFocus(Item(idcNext));
    return 1;
}

int TPageWelcome::Hide() {
    return 1;
}

// ---- TPageSelectDelphi ----

TPageSelectDelphi::TPageSelectDelphi() {
    SelectDelphiPage = this;
}

TPageSelectDelphi::~TPageSelectDelphi() {
    SelectDelphiPage = nullptr;
}

TPrevInstall PresetSelection(std::wstring& refused) {
    const TPrevInstall previous = PresetInstallChoices();
    refused.clear();
    if (SetupOptions.HasSelection)
        refused = CheckChoiceRows(SetupOptions.Selection);
    ReadPrevCustomizeItems();
    return previous;
}

void TPageSelectDelphi::LoadPrevInstall() {
    // Rows of IDEs that are not installed stay unchecked and disabled, as the user sees them.
    std::wstring refused;
    const TPrevInstall previous = PresetSelection(refused);
    FPrevInstallSelected = previous.InstallSelected;
    FPrevVersion = previous.Version;
    FPrevInstallItems = previous.InstallItems;
}

uint32_t TPageSelectDelphi::GetCheckedMask() const {
    uint32_t mask = 0;
    if (!CLB)
        return mask;
    const int count = CLB->GetCount();
    for (int row = 0; row < count; ++row)
        if (CLB->GetChecked(row))
            mask += uint32_t{1} << (row & 31);
    return mask;
}

void TPageSelectDelphi::UpdateNext() const {
    EnableItem(idcNext, GetCheckedMask() != 0);
}

int TPageSelectDelphi::Show() {
    if (FFirstShow) {
        CLB = std::make_unique<TbrmCheckListBox>(Item(idcProductList));
        CLB->OnCheckClick = [this](TbrmCheckListBox* sender) { CheckClick(sender); };
        LoadPrevInstall();
        FFirstShow = false;
    }
    ResizePageText(3);
    SetItemText(idcPageText,
                FPrevInstallSelected > 0
                    ? std::wstring(L"The previous version of ") + sProductName +
                          L" was found. Click to \"Next\" button for update it."
                    : std::wstring(L"Which versions of Delphi and/or CBuilder will you be "
                                   L"installing ") +
                          sProductName + L" to ?");
    ShowItem(idcPageText, true);
    ShowItem(idcProductList, true);

    CLB->Clear();
    for (const TInstallChoice& choice : InstallChoices) {
        const int row = CLB->Add(choice.Caption);
        CLB->SetEnabled(row, IsChoiceEnabled(choice));
        if (choice.Checked)
            CLB->SetChecked(row, true);
    }
    SetFocus(Item(idcProductList));
    ShowItem(idcCustomize, false);
    UpdateNext();
    return 1;
}

int TPageSelectDelphi::Hide() {
    ShowItem(idcProductList, false);
    ShowItem(idcCustomize, false);
    std::array<bool, InstallChoiceCount> checked{};
    for (int row = 0; row < InstallChoiceCount; ++row)
        checked[static_cast<size_t>(row)] = CLB && row < CLB->GetCount() && CLB->GetChecked(row);
    StoreChoiceChecks(checked);
    return 1;
}

int TPageSelectDelphi::DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const int result = TPage::DlgProc(msg, wParam, lParam);
    if (LOWORD(wParam) == idcProductList) {
        UpdateNext();
        return 1;
    }
    return result;
}

void TPageSelectDelphi::CheckClick(TbrmCheckListBox*) {
    UpdateNext();
}
