object Form1: TForm
  Left = 10
  Top = 20
  Caption = 'It''s a caption'#13#10'second'
  ClientHeight = 300
  ClientWidth = 400
  Color = clBtnFace
  Font.Height = -11
  Font.Style = [fsBold]
  object Panel1: TPanel
    Align = alTop
    Height = 40
    Alignment = taLeftJustify
    object Label1: TLabel
      Caption = 'Label'
      Layout = tlCenter
      Alignment = taRightJustify
    end
  end
  object Edit1: TEdit
    Left = 8
    Top = 50
    Text = 'text'
    PasswordChar = '*'
  end
  object Combo: TComboBox
    Style = csDropDownList
    Items.Strings = (
      'one'
      'two')
  end
  object Shape1: TShape
    Shape = stRoundRect
    Brush.Style = bsDiagCross
    Pen.Style = psDot
  end
  object List: TListBox
    Style = lbOwnerDrawFixed
    ItemHeight = 13
  end
  object Check: TCheckListBox
    Items.Strings = (
      'a')
  end
  object Memo1: TMemo
    ScrollBars = ssBoth
    Lines.Strings = (
      'first')
  end
  object Gauge1: TGauge
    Kind = gkPie
    Progress = 40
  end
  object Pages: TPageControl
    Align = alBottom
    object Tab1: TTabSheet
      Caption = 'Tab'
    end
  end
  object Bevel1: TBevel
    Shape = bsFrame
    Style = bsRaised
  end
  object Split: TSplitter
    Align = alLeft
  end
end
