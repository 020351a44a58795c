unit VklPropsDlg;

{ The dialog that edits the list of stored properties of a TVkPropertyStore at design time. }

{$I ..\Velkora.inc}

interface

uses
  Classes, Controls, Forms, StdCtrls, VklPropStore;

type
  TVkPropsDialog = class(TForm)
    PropertyList: TListBox;
    NameEdit: TEdit;
    AddButton: TButton;
    RemoveButton: TButton;
    OKButton: TButton;
    CancelButton: TButton;
    procedure AddButtonClick(Sender: TObject);
    procedure RemoveButtonClick(Sender: TObject);
  end;

function VkEditStoredProperties(Store: TVkPropertyStore): Boolean;

implementation

{$R *.dfm}

function VkEditStoredProperties(Store: TVkPropertyStore): Boolean;
var
  Dialog: TVkPropsDialog;
begin
  Dialog := TVkPropsDialog.Create(nil);
  try
    Dialog.PropertyList.Items.Assign(Store.Properties);
    Result := Dialog.ShowModal = mrOk;
    if Result then
      Store.Properties.Assign(Dialog.PropertyList.Items);
  finally
    Dialog.Free;
  end;
end;

procedure TVkPropsDialog.AddButtonClick(Sender: TObject);
begin
  if (NameEdit.Text <> '') and (PropertyList.Items.IndexOf(NameEdit.Text) < 0) then
    PropertyList.Items.Add(NameEdit.Text);
  NameEdit.Clear;
end;

procedure TVkPropsDialog.RemoveButtonClick(Sender: TObject);
begin
  if PropertyList.ItemIndex >= 0 then
    PropertyList.Items.Delete(PropertyList.ItemIndex);
end;

end.
