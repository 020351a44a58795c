object VkPropsDialog: TVkPropsDialog
  Left = 200
  Top = 120
  BorderStyle = bsDialog
  Caption = 'Stored properties'
  ClientHeight = 281
  ClientWidth = 353
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
  object PropertyList: TListBox
    Left = 8
    Top = 8
    Width = 249
    Height = 233
    ItemHeight = 13
    TabOrder = 0
  end
  object NameEdit: TEdit
    Left = 8
    Top = 250
    Width = 249
    Height = 21
    TabOrder = 1
  end
  object AddButton: TButton
    Left = 268
    Top = 248
    Width = 75
    Height = 25
    Caption = '&Add'
    TabOrder = 2
    OnClick = AddButtonClick
  end
  object RemoveButton: TButton
    Left = 268
    Top = 72
    Width = 75
    Height = 25
    Caption = '&Remove'
    TabOrder = 3
    OnClick = RemoveButtonClick
  end
  object OKButton: TButton
    Left = 268
    Top = 8
    Width = 75
    Height = 25
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 4
  end
  object CancelButton: TButton
    Left = 268
    Top = 40
    Width = 75
    Height = 25
    Cancel = True
    Caption = 'Cancel'
    ModalResult = 2
    TabOrder = 5
  end
end
