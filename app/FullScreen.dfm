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
        object ParsePanel: TPanel
          Align = alTop
          Height = 60
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object P001Btn: TImage
            Left = 6
            Top = 6
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Preview ...'
            ShowHint = True
            OnMouseDown = ParseButtonMouseDown
            OnMouseEnter = ParseButtonMouseEnter
            OnMouseLeave = ParseButtonMouseLeave
            OnMouseUp = P001BtnMouseUp
          end
          object P002Btn: TImage
            Left = 60
            Top = 6
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Print ...'
            ShowHint = True
            OnMouseDown = ParseButtonMouseDown
            OnMouseEnter = ParseButtonMouseEnter
            OnMouseLeave = ParseButtonMouseLeave
            OnMouseUp = P002BtnMouseUp
          end
          object ShowParseFilters: TCheckBox
            Left = 120
            Top = 22
            Width = 80
            Height = 17
            Caption = ' Filters'
            Checked = True
            OnClick = ShowParseFiltersClick
          end
        end
        object CheckPanel: TPanel
          Align = alBottom
          Height = 30
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object PC001Btn: TImage
            Left = 4
            Top = 3
            Width = 24
            Height = 24
            Cursor = crHandPoint
            Hint = 'Default filters ...'
            ShowHint = True
            OnMouseUp = PC001BtnMouseUp
          end
          object PC002Btn: TImage
            Left = 32
            Top = 3
            Width = 24
            Height = 24
            Cursor = crHandPoint
            Hint = 'Time control ...'
            ShowHint = True
            OnMouseUp = PC002BtnMouseUp
          end
          object CheckAllParseFilters: TCheckBox
            Left = 64
            Top = 7
            Width = 120
            Height = 17
            Caption = 'Select All Filters'
            OnClick = CheckAllParseFiltersClick
          end
          object TimeControlParse: TCheckBox
            Left = 190
            Top = 7
            Width = 100
            Height = 17
            Caption = 'Time Control'
            OnClick = TimeControlParseClick
          end
        end
        object CheckListBox: TCheckListBox
          Align = alBottom
          Height = 150
          Sorted = True
          Items.Strings = (
            'Anchor'
            'Base'
            'Base Font'
            'Body'
            'Comment'
            'Div'
            'Error'
            'Font'
            'Form'
            'HR'
            'Images'
            'Information'
            'Marcue'
            'Meta Tags'
            'Parce'
            'Properties'
            'Script')
        end
        object ParseSplitter: TSplitter
          Align = alBottom
          Height = 4
          Color = clSilver
          ParentColor = False
        end
        object ParsInfo: TRichEdit
          Align = alClient
          Color = clWhite
          PlainText = True
          ReadOnly = True
          ScrollBars = ssVertical
        end
        object WebParser: TIEParser
          OnAnchor = WebParserAnchor
          OnBase = WebParserBase
          OnBaseFont = WebParserBaseFont
          OnBody = WebParserBody
          OnBR = WebParserBR
          OnComment = WebParserComment
          OnDiv = WebParserDiv
          OnDocInfo = WebParserDocInfo
          OnElement = WebParserElement
          OnFont = WebParserFont
          OnForm = WebParserForm
          OnFrame = WebParserFrame
          OnFrameSet = WebParserFrameSet
          OnHR = WebParserHR
          OnImage = WebParserImage
          OnMarquee = WebParserMarquee
          OnMeta = WebParserMeta
          OnNoFrame = WebParserNoFrame
          OnQueryInfo = WebParserQueryInfo
          OnParseDocument = WebParserParseDocument
          OnParseError = WebParserParseError
          OnScript = WebParserScript
          OnStateChange = WebParserStateChange
          OnStatusText = WebParserStatusText
          OnBusyStateChange = WebParserBusyStateChange
        end
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
            Top = 4
            Caption = 'X pos = 0'
            Font.Color = clOlive
          end
          object Y_Label: TLabel
            Left = 8
            Top = 20
            Caption = 'Y pos =  0'
            Font.Color = clOlive
          end
          object MouseBtn_Caption: TLabel
            Left = 96
            Top = 2
            Caption = 'Mouse Button ....'
            Font.Color = clGray
          end
          object MouseBtn_Label: TLabel
            Left = 200
            Top = 2
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object Key_Caption: TLabel
            Left = 96
            Top = 17
            Caption = 'Key ................'
            Font.Color = clGray
          end
          object Key_Label: TLabel
            Left = 200
            Top = 17
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object Tag_Caption: TLabel
            Left = 96
            Top = 32
            Caption = 'Tag .......'
            Font.Color = clGray
          end
          object Tag_Label: TLabel
            Left = 200
            Top = 32
            Caption = 'None'
            Font.Color = clGray
            Font.Style = [fsBold]
          end
          object Events_Caption: TLabel
            Left = 96
            Top = 47
            Caption = 'Events ...'
            Font.Color = clGray
          end
          object Events_Label: TLabel
            Left = 200
            Top = 47
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
        object Panel2: TPanel
          Align = alTop
          Height = 60
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object EV001Btn: TImage
            Left = 6
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Start Analysis ... '
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = EventsToggleMouseEnter
            OnMouseLeave = EventsToggleMouseEnter
            OnMouseUp = EV001BtnMouseUp
          end
          object Ev002Btn: TImage
            Left = 58
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Save log ...'
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = Ev002BtnMouseUp
          end
          object EV003Btn: TImage
            Left = 110
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Print ...'
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = EV003BtnMouseUp
          end
          object EventsCheckBox: TCheckBox
            ParentColor = True
            Left = 170
            Top = 20
            Width = 90
            Height = 17
            Caption = ' Filters'
            State = cbChecked
            OnClick = EventsCheckBoxClick
          end
        end
        object EventsCheckPanel: TPanel
          Align = alBottom
          Height = 30
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object EV004Btn: TImage
            Left = 4
            Top = 3
            Width = 24
            Height = 24
            Cursor = crHandPoint
            Hint = 'Default filters ...'
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = EventsToggleMouseEnter
            OnMouseLeave = EventsToggleMouseEnter
            OnMouseUp = EV004BtnMouseUp
          end
          object EV005Btn: TImage
            Left = 32
            Top = 3
            Width = 24
            Height = 24
            Cursor = crHandPoint
            Hint = 'Time control ...'
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = EventsToggleMouseEnter
            OnMouseLeave = EventsToggleMouseEnter
            OnMouseUp = EV005BtnMouseUp
          end
          object CheckAllEventFilters: TCheckBox
            ParentColor = True
            Left = 64
            Top = 7
            Width = 130
            Height = 17
            Caption = 'Select All Filters'
            OnClick = CheckAllEventFiltersClick
          end
          object EventsTimeCheckBox: TCheckBox
            ParentColor = True
            Left = 200
            Top = 7
            Width = 130
            Height = 17
            Caption = 'Time Control'
            OnClick = EventsTimeCheckBoxClick
          end
        end
        object EventsCheckListBox: TCheckListBox
          Align = alBottom
          Height = 160
          ItemHeight = 14
          Sorted = True
        end
        object EventsSplitter: TSplitter
          Align = alBottom
          Height = 4
          Color = clSilver
          ParentColor = False
        end
        object DebugListBox: TListBox
          Align = alClient
          Color = clWhite
          Font.Height = -11
          Font.Name = 'MS Sans Serif'
          ItemHeight = 13
          ParentFont = False
          Style = lbOwnerDrawFixed
          OnDrawItem = DebugListBoxDrawItem
        end
      end
      object CacheTabSheet: TTabSheet
        Caption = 'Cache'
        object Panel8: TPanel
          Align = alTop
          Height = 60
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object CC001Btn: TImage
            Left = 4
            Top = 6
            Width = 48
            Height = 48
            Cursor = crHandPoint
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = CC001BtnMouseUp
          end
          object CC002Btn: TImage
            Left = 56
            Top = 6
            Width = 48
            Height = 48
            Cursor = crHandPoint
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = CC002BtnMouseUp
          end
          object CC003Btn: TImage
            Left = 108
            Top = 6
            Width = 48
            Height = 48
            Cursor = crHandPoint
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = CC003BtnMouseUp
          end
          object AllCheckBox: TCheckBox
            ParentColor = True
            Left = 176
            Top = 10
            Width = 90
            Height = 17
            Caption = ' All'
            OnClick = AllCheckBoxClick
          end
          object CookiesCheckBox: TCheckBox
            ParentColor = True
            Left = 176
            Top = 34
            Width = 90
            Height = 17
            Caption = ' Cookies'
            OnClick = CookiesCheckBoxClick
          end
          object HistoryCheckBox: TCheckBox
            ParentColor = True
            Left = 280
            Top = 10
            Width = 90
            Height = 17
            Caption = ' History'
            OnClick = HistoryCheckBoxClick
          end
          object URLCheckBox: TCheckBox
            ParentColor = True
            Left = 280
            Top = 34
            Width = 90
            Height = 17
            Caption = ' URL'
            OnClick = URLCheckBoxClick
          end
        end
        object Panel7: TPanel
          Align = alBottom
          Height = 28
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object FileNameLabel: TLabel
            Left = 8
            Top = 7
            Caption = 'File name and path:  '
          end
          object edtFileName: TEdit
            Left = 116
            Top = 4
            Width = 280
            Height = 21
            Anchors = [akLeft, akTop, akRight]
            ReadOnly = True
          end
        end
        object Panel9: TPanel
          Align = alBottom
          Height = 133
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object FileInfoLabel: TLabel
            Left = 8
            Top = 6
            Caption = 'File information'
            Font.Style = [fsBold]
            ParentFont = False
          end
          object Label1: TLabel
            Left = 8
            Top = 26
            Caption = 'HitRate:'
          end
          object Label2: TLabel
            Left = 8
            Top = 44
            Caption = 'FileSize:'
          end
          object Label3: TLabel
            Left = 8
            Top = 62
            Caption = 'Last accessed:'
          end
          object Label4: TLabel
            Left = 8
            Top = 80
            Caption = 'Last modified:'
          end
          object Label5: TLabel
            Left = 8
            Top = 98
            Caption = 'Expire:'
          end
          object ShowInBrowserCheckBox: TCheckBox
            ParentColor = True
            Left = 176
            Top = 26
            Width = 224
            Height = 17
            Caption = 'Show content in Browser Window'
            OnClick = ShowInBrowserCheckBoxClick
          end
        end
        object CacheListBox: TListBox
          Align = alClient
          BorderStyle = bsNone
          Font.Color = clGray
          ParentFont = False
          OnClick = CacheListBoxClick
          OnDblClick = CacheListBoxClick
        end
        object IECache: TIECache
          FilterOptions = [NORMAL_ENTRY, STICKY_ENTRY, COOKIE_ENTRY, URLHISTORY_ENTRY, TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY]
          SearchPattern = spAll
          OnEntry = IECacheEntry
        end
      end
      object CaptureTabSheet: TTabSheet
        Caption = 'Capture'
        object BMPPanel: TPanel
          Align = alTop
          Height = 57
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object CS001Btn: TImage
            Left = 6
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Capture ...'
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = CS001BtnMouseUp
          end
          object CS002Btn: TImage
            Left = 58
            Top = 4
            Width = 48
            Height = 48
            Cursor = crHandPoint
            Hint = 'Save picture ...'
            ShowHint = True
            OnMouseDown = SkinButtonMouseDown
            OnMouseEnter = SkinButtonMouseEnter
            OnMouseLeave = SkinButtonMouseLeave
            OnMouseUp = CS002BtnMouseUp
          end
          object BMPCheckBox: TCheckBox
            ParentColor = True
            Left = 118
            Top = 4
            Width = 90
            Height = 17
            Caption = ' BMP File'
            OnClick = BMPCheckBoxClick
          end
          object JPGCheckBox: TCheckBox
            ParentColor = True
            Left = 118
            Top = 20
            Width = 90
            Height = 17
            Caption = ' JPG File'
            OnClick = JPGCheckBoxClick
          end
          object ThumbnailCheckBox: TCheckBox
            ParentColor = True
            Left = 118
            Top = 36
            Width = 90
            Height = 17
            Caption = ' Thumbnail'
            OnClick = ThumbnailCheckBoxClick
          end
          object StrechCheck: TCheckBox
            ParentColor = True
            Left = 222
            Top = 4
            Width = 100
            Height = 17
            Caption = ' Strech'
          end
          object CenterCheck: TCheckBox
            ParentColor = True
            Left = 222
            Top = 20
            Width = 100
            Height = 17
            Caption = ' Center'
          end
          object ProportionalCheck: TCheckBox
            ParentColor = True
            Left = 222
            Top = 36
            Width = 100
            Height = 17
            Caption = ' Proportional'
          end
        end
        object ImageViewer: TImage
          Align = alClient
          AutoSize = True
          Center = True
        end
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
      OnAllowFocusChange = WBAllowFocusChange
      OnAuthenticate = WBAuthenticate
      OnBeforeNavigate2 = WBBeforeNavigate2
      OnBusyWait = WBBusyWait
      OnClick = WBClick
      OnClientToHostWindow = WBClientToHostWindow
      OnCloseQuery = WBCloseQuery
      OnCommandExec = WBCommandExec
      OnDocumentComplete = WBDocumentComplete
      OnDownloadBegin = WBDownloadBegin
      OnDownloadComplete = WBDownloadComplete
      OnDragDrop = WBDragDrop
      OnDragLeave = WBDragLeave
      OnDragOver = WBDragOver
      OnDragOver2 = WBDragOver2
      OnEnableModeless = WBEnableModeless
      OnEndDrag = WBEndDrag
      OnEnter = WBEnter
      OnEvaluateNewWindow = WBEvaluateNewWindow
      OnExit = WBExit
      OnFilterPopupMenu = WBFilterPopupMenu
      OnGetExternal = WBGetExternal
      OnGetHostInfo = WBGetHostInfo
      OnGetIDsOfNames = WBGetIDsOfNames
      OnGetTypeInfoCount = WBGetTypeInfoCount
      OnHideUI = WBHideUI
      OnMaskedCtrlChar = WBMaskedCtrlChar
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
    Filter = 'Bitmaps (*.bmp)|*.bmp'
  end
  object EventsSaveDialog: TSaveDialog
    Filter = 'Text File|*.txt'
  end
  object OpenDialog: TOpenDialog
  end
  object EwbControl1: TEwbControl
    InternetFeatures = [ObjectCaching, Behaviors, DisableMkProtocol, GetUrlDomFilePathUnencoded, DisableLegacyCompression, XmlHttp]
  end
  object SecurityManager: TSecurityManager
    UrlPolicy.ActiveX = Allow
    UrlPolicy.CrossDomainData = Allow
    UrlPolicy.JavaPermissions = Prohibited
    UrlPolicy.SubmitForms = Allow
    UrlPolicy.Scripts = Allow
  end
  object IEDownload: TIEDownload
    AdditionalHeader.Strings = (
      'Content-Type: application/x-www-form-BindInfoFd ')
    DefaultProtocol = 'http://'
    DefaultUrlFileName = 'index.html'
    TimeOut = 2147483647
  end
end
