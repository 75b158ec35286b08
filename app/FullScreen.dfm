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
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  object PreviewPanel: TPanel
    Align = alClient
    BevelOuter = bvNone
    Color = clCream
    ParentBackground = False
    object TopPanel: TPanel
      Align = alTop
      Height = 24
      BevelOuter = bvNone
      Color = clCream
      ParentBackground = False
      object URLPanel: TPanel
        Align = alLeft
        Width = 460
        BevelOuter = bvNone
        Color = clCream
        ParentBackground = False
        object URLEdit: TIEAddress
          Left = 2
          Top = 1
          Width = 456
          Height = 22
          Anchors = [akLeft, akTop, akRight]
          BorderColor = clMoneyGreen
          ButtonColor = clInfoBk
          ButtonPressedColor = clMoneyGreen
          Color = clWhite
          EmbeddedWB = WB
          IconLeft = 4
          IconTop = 3
          TextAfterNav = anLocationName
          UseAppIcon = True
          Items.Strings = (
            'https://www.wikipedia.org/')
        end
      end
      object EM014Btn: TImage
        Left = 464
        Top = 2
        Width = 20
        Height = 20
        Cursor = crHandPoint
        OnMouseEnter = SkinButtonMouseEnter
        OnMouseLeave = SkinButtonMouseLeave
        OnMouseUp = EM014BtnMouseUp
      end
      object EM014Label: TLabel
        Left = 486
        Top = 5
        Caption = 'Go'
        Cursor = crHandPoint
        Font.Color = clGray
        ParentFont = False
        OnMouseEnter = SkinButtonMouseEnter
        OnMouseLeave = SkinButtonMouseLeave
      end
      object SearchPanel: TPanel
        Left = 508
        Top = 0
        Width = 214
        Height = 24
        BevelOuter = bvNone
        Color = clCream
        ParentBackground = False
        object InternetSearch: TEdit
          Left = 4
          Top = 2
          Width = 161
          Height = 20
          Color = clCream
          Font.Color = clGray
          ParentFont = False
          Text = 'Search In Google'
        end
        object EM013Btn: TImage
          Left = 168
          Top = 2
          Width = 20
          Height = 20
          Cursor = crHandPoint
          OnMouseEnter = SkinButtonMouseEnter
          OnMouseLeave = SkinButtonMouseLeave
          OnMouseUp = EM013BtnMouseUp
        end
        object EM013Label: TLabel
          Left = 190
          Top = 5
          Caption = 'Go'
          Cursor = crHandPoint
          Font.Color = clGray
          ParentFont = False
          OnMouseEnter = SkinButtonMouseEnter
          OnMouseLeave = SkinButtonMouseLeave
        end
      end
      object UnlockImage: TImage
        Left = 726
        Top = 2
        Width = 20
        Height = 20
      end
      object SSLImage: TImage
        Left = 726
        Top = 2
        Width = 20
        Height = 20
        Visible = False
      end
      object SecurityLabel: TLabel
        Left = 748
        Top = 5
        Width = 120
        Height = 13
        AutoSize = False
        Caption = '  Security Status:'
        Font.Color = clGray
        ParentFont = False
      end
      object EM011Btn: TImage
        Left = 874
        Top = 2
        Width = 20
        Height = 20
        Anchors = [akTop, akRight]
        Cursor = crHandPoint
        Hint = 'Minimize'
        ShowHint = True
        OnMouseEnter = SkinButtonMouseEnter
        OnMouseLeave = SkinButtonMouseLeave
        OnMouseUp = EM011BtnMouseUp
      end
      object EM010Btn: TImage
        Left = 898
        Top = 2
        Width = 20
        Height = 20
        Anchors = [akTop, akRight]
        Cursor = crHandPoint
        Hint = 'Close'
        ShowHint = True
        OnMouseEnter = SkinButtonMouseEnter
        OnMouseLeave = SkinButtonMouseLeave
        OnMouseUp = EM010BtnMouseUp
      end
    end
    object PageControl: TPageControl
      Align = alRight
      Width = 408
      ActivePage = ParceSheet
      object ParceSheet: TTabSheet
        Caption = 'Parce page'
      end
      object EditPageSheet: TTabSheet
        Caption = 'Edit page'
        object Panel4: TPanel
          Align = alTop
          Height = 64
          BevelOuter = bvLowered
          Color = clCream
          object X_Label: TLabel
            Left = 8
            Top = 6
            Caption = 'X pos = 0'
            Font.Color = clOlive
          end
          object Y_Label: TLabel
            Left = 8
            Top = 22
            Caption = 'Y pos =  0'
            Font.Color = clOlive
          end
          object MouseBtn_Caption: TLabel
            Left = 90
            Top = 6
            Caption = 'Mouse Button ....'
            Font.Color = clGray
          end
          object MouseBtn_Label: TLabel
            Left = 176
            Top = 6
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object Key_Caption: TLabel
            Left = 90
            Top = 22
            Caption = 'Key ................'
            Font.Color = clGray
          end
          object Key_Label: TLabel
            Left = 176
            Top = 22
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object Tag_Caption: TLabel
            Left = 200
            Top = 6
            Caption = 'Tag .......'
            Font.Color = clGray
          end
          object Tag_Label: TLabel
            Left = 286
            Top = 6
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object Events_Caption: TLabel
            Left = 200
            Top = 22
            Caption = 'Events ...'
            Font.Color = clGray
          end
          object Events_Label: TLabel
            Left = 286
            Top = 22
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object EC006Btn: TImage
            Left = 300
            Top = 8
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Reload the source'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC006BtnMouseUp
          end
          object EC007Btn: TImage
            Left = 350
            Top = 8
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Show the source as the page'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC007BtnMouseUp
          end
        end
        object Panel6: TPanel
          Align = alTop
          Height = 57
          Color = clCream
          object EC001Btn: TImage
            Left = 4
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Start Edit Page'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC001BtnMouseUp
          end
          object EC002Btn: TImage
            Left = 56
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Print'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC002BtnMouseUp
          end
          object EC003Btn: TImage
            Left = 108
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Create link'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC003BtnMouseUp
          end
          object EC004Btn: TImage
            Left = 160
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Insert radio button'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC004BtnMouseUp
          end
          object EC005Btn: TImage
            Left = 212
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Insert image'
            ShowHint = True
            OnMouseDown = EditButtonMouseDown
            OnMouseEnter = EditButtonMouseEnter
            OnMouseLeave = EditButtonMouseLeave
            OnMouseUp = EC005BtnMouseUp
          end
          object RTFCheckBox: TCheckBox
            Left = 268
            Top = 2
            Width = 100
            Caption = ' RTF Edit'
            Checked = True
            OnClick = RTFCheckBoxClick
          end
          object HTMCheckBox: TCheckBox
            Left = 268
            Top = 19
            Width = 100
            Caption = ' HTM Edit'
            Checked = True
            OnClick = HTMCheckBoxClick
          end
          object TXTCheckBox: TCheckBox
            Left = 268
            Top = 36
            Width = 100
            Caption = ' TXT Edit'
            Checked = True
            OnClick = TXTCheckBoxClick
          end
        end
        object EditWB: TRichEditWB
          Align = alTop
          Top = 121
          Height = 198
          EmbeddedWB = WB
          AutoNavigate = True
          HighlightHTML = True
          HighlightURL = True
          HighlightXML = True
          WordWrap = False
          ScrollBars = ssBoth
          GapBottom = 10
          GapLeft = 10
          GapRight = 10
          GapTop = 10
          FileName = 'Untitled'
          ShowHint = True
        end
        object EditWBSplitter: TSplitter
          Align = alTop
          Top = 319
          Height = 3
        end
        object HTMLMemo: TMemo
          Align = alTop
          Top = 322
          Height = 100
          Color = clCream
          ScrollBars = ssVertical
        end
        object HTMSplitter: TSplitter
          Align = alTop
          Top = 422
          Height = 3
        end
        object TextMemo: TMemo
          Align = alClient
          Color = clInfoBk
          ScrollBars = ssVertical
        end
        object Panel3: TPanel
          Align = alBottom
          Height = 20
          Caption = ''
          Color = clCream
          object ErrorCaption: TLabel
            Left = 4
            Top = 3
            Caption = 'Error:'
          end
          object Error_Label: TLabel
            Left = 40
            Top = 3
            Caption = ''
          end
        end
        object EditDesigner: TEditDesigner
          EmbeddedWB = WB
          OnError = EditDesignerError
          OnInnerHtml = EditDesignerInnerHtml
          OnInnerText = EditDesignerInnerText
          OnKeyPress = EditDesignerKeyPress
          OnMousePosition = EditDesignerMousePosition
          OnMouseButton = EditDesignerMouseButton
          OnType_ = EditDesignerType_
          OnTagName = EditDesignerTagName
        end
      end
      object EventsTabSheet: TTabSheet
        Caption = 'Events'
      end
      object CacheTabSheet: TTabSheet
        Caption = 'Cache'
      end
      object CaptureTabSheet: TTabSheet
        Caption = 'Capture'
      end
    end
    object VSplitter: TSplitter
      Align = alRight
      Width = 4
      Color = clSilver
      ParentColor = False
    end
    object WB: TEmbeddedWB
      Align = alClient
      AlignWithMargins = True
      Margins.Left = 2
      Margins.Top = 2
      Margins.Right = 2
      Margins.Bottom = 2
      DisableCtrlShortcuts = 'N'
      DisableErrors.EnableDDE = False
      DisableErrors.fpExceptions = False
      PrintOptions.Footer = '&u&b&d'
      PrintOptions.Header = '&w&bPage &p of &P'
      PrintOptions.Orientation = poPortrait
      RegisterAsBrowser = True
      Silent = False
      UserInterfaceOptions = [DontUse3DBorders, ForceOpenNewWindow, EnablesFormsAutoComplete, EnableThemes]
      OnCommandStateChange = WBCommandStateChange
      OnDocumentComplete = WBDocumentComplete
      OnNavigateComplete2 = WBNavigateComplete2
      OnNewWindow2 = WBNewWindow2
      OnNewWindow3 = WBNewWindow3
      OnProgressChange = WBProgressChange
      OnSetSecureLockIcon = WBSetSecureLockIcon
      OnTitleChange = WBTitleChange
    end
  end
  object ButtonPanel: TPanel
    Align = alBottom
    Height = 26
    BevelOuter = bvNone
    Color = clCream
    ParentBackground = False
    object EM001Btn: TImage
      Left = 4
      Top = 2
      Width = 22
      Height = 22
      Cursor = crHandPoint
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM001BtnMouseUp
    end
    object EM001Label: TLabel
      Left = 28
      Top = 7
      Caption = 'System'
      Cursor = crHandPoint
      Font.Color = clGray
      ParentFont = False
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM001BtnMouseUp
    end
    object EM002Btn: TImage
      Left = 80
      Top = 2
      Width = 22
      Height = 22
      Cursor = crHandPoint
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM002BtnMouseUp
    end
    object EM002Label: TLabel
      Left = 104
      Top = 7
      Caption = 'Home'
      Cursor = crHandPoint
      Font.Color = clGray
      ParentFont = False
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM002BtnMouseUp
    end
    object EM003Btn: TImage
      Left = 148
      Top = 2
      Width = 22
      Height = 22
      Cursor = crHandPoint
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM003BtnMouseUp
    end
    object EM003Label: TLabel
      Left = 172
      Top = 7
      Caption = 'Search'
      Cursor = crHandPoint
      Font.Color = clGray
      ParentFont = False
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM003BtnMouseUp
    end
    object EM004Btn: TImage
      Left = 222
      Top = 2
      Width = 22
      Height = 22
      Cursor = crHandPoint
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM004BtnMouseUp
    end
    object EM004Label: TLabel
      Left = 246
      Top = 7
      Caption = 'Print'
      Cursor = crHandPoint
      Font.Color = clGray
      ParentFont = False
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM004BtnMouseUp
    end
    object EM005Btn: TImage
      Left = 288
      Top = 2
      Width = 22
      Height = 22
      Cursor = crHandPoint
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM005BtnMouseUp
    end
    object EM005Label: TLabel
      Left = 312
      Top = 7
      Caption = 'Noctivane Mode'
      Cursor = crHandPoint
      Font.Color = clGray
      ParentFont = False
      OnMouseDown = SkinButtonMouseDown
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM005BtnMouseUp
    end
    object ProgressBar: TGauge
      Left = 400
      Top = 4
      Width = 267
      Height = 17
      BackColor = clCream
      ForeColor = clSilver
      Visible = False
    end
    object EM006Btn: TImage
      Left = 826
      Top = 2
      Width = 22
      Height = 22
      Anchors = [akTop, akRight]
      Cursor = crHandPoint
      Enabled = False
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
    end
    object EM007Btn: TImage
      Left = 850
      Top = 2
      Width = 22
      Height = 22
      Anchors = [akTop, akRight]
      Cursor = crHandPoint
      Enabled = False
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM007BtnMouseUp
    end
    object EM008Btn: TImage
      Left = 874
      Top = 2
      Width = 22
      Height = 22
      Anchors = [akTop, akRight]
      Cursor = crHandPoint
      Enabled = False
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM008BtnMouseUp
    end
    object EM009Btn: TImage
      Left = 898
      Top = 2
      Width = 22
      Height = 22
      Anchors = [akTop, akRight]
      Cursor = crHandPoint
      Enabled = False
      OnMouseEnter = SkinButtonMouseEnter
      OnMouseLeave = SkinButtonMouseLeave
      OnMouseUp = EM009BtnMouseUp
    end
  end
  object PrintDialog: TPrintDialog
  end
  object SavePictureDialog: TSavePictureDialog
  end
  object EventsSaveDialog: TSaveDialog
  end
  object OpenDialog: TOpenDialog
  end
  object EwbControl1: TEwbControl
    InternetFeatures = [ObjectCaching, Behaviors, DisableMkProtocol, GetUrlDomFilePathUnencoded, DisableLegacyCompression, XmlHttp]
  end
end
