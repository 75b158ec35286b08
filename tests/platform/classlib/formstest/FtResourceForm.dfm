object FtResourceForm: TFtResourceForm
  Caption = 'Resource form'
  ClientWidth = 500
  ClientHeight = 300
  Constraints.MinWidth = 450
  Font.Name = 'Verdana'
  Font.Height = -13
  BorderStyle = bsNone
  Position = poDesigned
  Visible = True
  OnCreate = FormCreate
  OnMouseDown = FormMouseDown
  object TopPanel: TPanel
    Align = alTop
    Height = 40
    Caption = 'Top'
    object InnerPanel: TPanel
      Left = 10
      Top = 5
      Width = 100
      Height = 30
      Anchors = [akTop, akRight]
      Cursor = crHandPoint
      Color = clCream
      ParentBackground = False
      OnMouseDown = FormMouseDown
    end
  end
  object ClientPanel: TPanel
    Align = alBottom
    Height = 100
    BevelOuter = bvNone
  end
end
