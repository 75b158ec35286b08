object StreamTestForm: TTestForm
  Caption = 'From the resource é'
  object TopPanel: TTestPanel
    Height = 33
  end
end
