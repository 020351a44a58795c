// Dialog 1: the wizard window that setup.exe's pages share and unbrm.exe shows its walk in.
#pragma once

constexpr int WizardDialogId = 1;  // dialog resource
constexpr int WizardBitmapId = 1;  // the picture (control 501)
constexpr int WizardIconId = 1;    // the window icon

// Controls of dialog 1.
enum : int {
    idcCancel = 2,
    idcPageText = 256,
    idcDestinationFrame = 258,
    idcItemText = 260,
    idcProgressFrame = 261,
    idcPicture = 501,
    idcNext = 1000,
    idcBack = 1001,
    idcBrowse = 1002,
    idcCustomize = 1003,
    idcProgressBar = 1009,
    idcDirectoryEdit = 1010,
    idcProductList = 1013,
};
