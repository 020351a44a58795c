object MainForm: TMainForm
  Left = 192
  Top = 133
  Width = 321
  Height = 201
  Caption = 'Observers of changed values'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  object ValueEdit: TEdit
    Left = 16
    Top = 16
    Width = 281
    Height = 21
    TabOrder = 0
  end
  object SaveButton: TButton
    Left = 16
    Top = 48
    Width = 75
    Height = 25
    Caption = '&Save'
    TabOrder = 1
    OnClick = SaveButtonClick
  end
  object LoadButton: TButton
    Left = 104
    Top = 48
    Width = 75
    Height = 25
    Caption = '&Load'
    TabOrder = 2
    OnClick = LoadButtonClick
  end
  object Store: TVkMemoryStore
    Left = 16
    Top = 88
  end
  object FormState: TVkFormState
    Store = Store
    Section = 'MainForm'
    Left = 56
    Top = 88
  end
end
