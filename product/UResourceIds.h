// Resource and control ids of setup.exe and unbrm.exe, shared by the resource scripts and the C++.
// Plain #defines only, so that windres can read this file too.
#ifndef VK_PRODUCT_URESOURCEIDS_H
#define VK_PRODUCT_URESOURCEIDS_H

// Resources.
#define WizardDialogId 1  // the wizard window, which unbrm.exe shows its walk in too
#define WizardBitmapId 1  // the wizard's picture (control idcPicture)
#define WizardIconId 1    // the program and window icon
#define ManifestId 1      // the application manifest

// Controls of the wizard dialog.
#define idcCancel 2  // IDCANCEL
#define idcPageText 256
#define idcDestinationFrame 258
#define idcItemText 260
#define idcProgressFrame 261
#define idcPicture 501
#define idcNext 1000
#define idcBack 1001
#define idcBrowse 1002
#define idcCustomize 1003
#define idcProgressBar 1009
#define idcDirectoryEdit 1010
#define idcProductList 1013
#define idcNone 65535  // a static control that code never addresses

#endif
