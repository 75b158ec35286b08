object F: TForm
  object C: TComboBox
    Style = 7
  end
  object S: TShape
    Brush.Style = $7FFFFFFF
  end
end
