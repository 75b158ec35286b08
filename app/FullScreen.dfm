object FullScreenForm: TFullScreenForm
  BorderIcons = []
  BorderStyle = bsNone
  Caption = 'FullScreenForm'
  ClientWidth = 922
  ClientHeight = 550
  Color = clBlack
  Font.Height = -11
  Font.Name = 'Tahoma'
  Position = poDefault
  Visible = False
  WindowState = wsMaximized
end
