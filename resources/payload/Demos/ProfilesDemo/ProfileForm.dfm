object ProfileForm: TProfileForm
  Left = 192
  Top = 133
  Width = 321
  Height = 201
  Caption = 'ProfileForm'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  object Memo: TMemo
    Left = 8
    Top = 8
    Width = 289
    Height = 121
    TabOrder = 0
  end
  object CloseButton: TButton
    Left = 222
    Top = 136
    Width = 75
    Height = 25
    Caption = '&Close'
    TabOrder = 1
    OnClick = CloseButtonClick
  end
end
