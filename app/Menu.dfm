object MyMenuForm: TMyMenuForm
  Left = 0
  Top = 0
  BorderStyle = bsNone
  Caption = 'Noctivane'
  ClientWidth = 800
  ClientHeight = 520
  Color = clBlack
  Constraints.MinHeight = 520
  Constraints.MinWidth = 800
  Font.Charset = 1
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Position = poDesigned
  Visible = True
  OnCloseQuery = FormCloseQuery
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  OnMouseDown = FormMouseDown
  object TopPanel: TPanel
    Align = alTop
    Height = 33
    BevelOuter = bvNone
    Color = $00101112
    ParentBackground = False
    object TopLeft: TImage
      Align = alLeft
      Width = 40
    end
    object TopBorder: TImage
      Align = alClient
      Stretch = True
    end
    object TopRight: TImage
      Align = alRight
      Width = 40
    end
    object MinimizeBtn: TImage
      Left = 715
      Top = 5
      Width = 24
      Height = 24
      Anchors = [akTop, akRight]
      OnMouseDown = MinimizeBtnMouseDown
      OnMouseEnter = MinimizeBtnMouseEnter
      OnMouseLeave = MinimizeBtnMouseLeave
      OnMouseUp = MinimizeBtnMouseUp
    end
    object CloseBtn: TImage
      Left = 742
      Top = 5
      Width = 24
      Height = 24
      Anchors = [akTop, akRight]
      OnMouseDown = CloseBtnMouseDown
      OnMouseEnter = CloseBtnMouseEnter
      OnMouseLeave = CloseBtnMouseLeave
      OnMouseUp = CloseBtnMouseUp
    end
    object ProcessLabel: TLabel
      Left = 48
      Top = 10
      Width = 420
      Height = 13
      AutoSize = False
      Color = clBlack
      Font.Color = clSilver
      ParentColor = False
      ParentFont = False
    end
  end
  object BottomPanel: TPanel
    Align = alBottom
    Height = 66
    BevelOuter = bvNone
    Color = $00101112
    ParentBackground = False
    object BottomLeft: TImage
      Align = alLeft
      Width = 40
    end
    object BottomBorder: TImage
      Align = alClient
      Stretch = True
    end
    object BottomRightA: TImage
      Align = alRight
      Width = 410
    end
    object BottomRightB: TImage
      Left = 779
      Top = 0
      Width = 20
      Height = 20
      Anchors = [akTop, akRight]
      Cursor = crSizeNWSE
      OnMouseDown = BottomRightBMouseDown
      OnMouseMove = BottomRightBMouseMove
      OnMouseUp = BottomRightBMouseUp
    end
    object CheckBtn: TImage
      Left = 446
      Top = 11
      Width = 44
      Height = 44
      Anchors = [akTop, akRight]
      OnMouseDown = CheckBtnMouseDown
      OnMouseEnter = CheckBtnMouseEnter
      OnMouseLeave = CheckBtnMouseLeave
      OnMouseUp = CheckBtnMouseUp
    end
    object PrintpageBtn: TImage
      Left = 498
      Top = 11
      Width = 44
      Height = 44
      Anchors = [akTop, akRight]
      OnMouseDown = PrintpageBtnMouseDown
      OnMouseEnter = PrintpageBtnMouseEnter
      OnMouseLeave = PrintpageBtnMouseLeave
      OnMouseUp = PrintpageBtnMouseUp
    end
    object StopBtn: TImage
      Left = 550
      Top = 11
      Width = 44
      Height = 44
      Anchors = [akTop, akRight]
      OnMouseDown = StopBtnMouseDown
      OnMouseEnter = StopBtnMouseEnter
      OnMouseLeave = StopBtnMouseLeave
      OnMouseUp = StopBtnMouseUp
    end
    object RefreshBtn: TImage
      Left = 602
      Top = 11
      Width = 44
      Height = 44
      Anchors = [akTop, akRight]
      OnMouseDown = RefreshBtnMouseDown
      OnMouseEnter = RefreshBtnMouseEnter
      OnMouseLeave = RefreshBtnMouseLeave
      OnMouseUp = RefreshBtnMouseUp
    end
    object PreviousPageBtn: TImage
      Left = 654
      Top = 11
      Width = 44
      Height = 44
      Anchors = [akTop, akRight]
      Enabled = False
      OnMouseDown = PreviousPageBtnMouseDown
      OnMouseEnter = PreviousPageBtnMouseEnter
      OnMouseLeave = PreviousPageBtnMouseLeave
      OnMouseUp = PreviousPageBtnMouseUp
    end
    object NextPageBtn: TImage
      Left = 706
      Top = 11
      Width = 44
      Height = 44
      Anchors = [akTop, akRight]
      Enabled = False
      OnMouseDown = NextPageBtnMouseDown
      OnMouseEnter = NextPageBtnMouseEnter
      OnMouseLeave = NextPageBtnMouseLeave
      OnMouseUp = NextPageBtnMouseUp
    end
  end
  object LeftPanel: TPanel
    Align = alLeft
    Width = 20
    BevelOuter = bvNone
    Color = $00101112
    ParentBackground = False
    object LeftTop: TImage
      Align = alTop
      Height = 140
      Cursor = crSizeAll
      OnMouseDown = FormMouseDown
    end
    object LeftBorder: TImage
      Align = alClient
      Stretch = True
    end
    object LeftBottom: TImage
      Align = alBottom
      Height = 30
    end
  end
  object RightPanel: TPanel
    Align = alRight
    Width = 21
    BevelOuter = bvNone
    Color = $00101112
    ParentBackground = False
    object RightTop: TImage
      Align = alTop
      Height = 30
    end
    object RightBorder: TImage
      Align = alClient
      Stretch = True
    end
    object RightBottom: TImage
      Align = alBottom
      Height = 190
      Cursor = crSizeAll
      OnMouseDown = FormMouseDown
    end
    object ProgressBar: TGauge
      Left = 6
      Top = 265
      Width = 9
      Height = 120
      Anchors = [akLeft, akBottom]
      BackColor = clBlack
      BorderStyle = bsNone
      ForeColor = clOlive
      Kind = gkVerticalBar
      ShowText = False
      Visible = False
    end
  end
  object SystemPanel: TPanel
    Align = alRight
    AlignWithMargins = True
    Margins.Left = 0
    Margins.Top = 26
    Margins.Right = 0
    Margins.Bottom = 0
    Width = 398
    BevelOuter = bvNone
    Color = clCream
    Constraints.MinWidth = 398
    ParentBackground = False
    Visible = False
    object SocialSetPanel: TPanel
      Top = 0
      Align = alTop
      Height = 136
      BevelOuter = bvNone
      Color = clCream
      ParentBackground = False
      object Label3: TLabel
        Left = 4
        Top = 6
        Caption = '  Selected Set:'
        Font.Color = clGray
        ParentFont = False
      end
      object SocialSetLabel: TLabel
        Left = 96
        Top = 6
        Width = 240
        Height = 13
        AutoSize = False
        Font.Color = clTeal
        ParentFont = False
      end
      object FN001Btn: TImage
        Left = 8
        Top = 26
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN001BtnMouseDown
        OnMouseEnter = FN001BtnMouseEnter
        OnMouseLeave = FN001BtnMouseLeave
        OnMouseUp = FN001BtnMouseUp
      end
      object FN002Btn: TImage
        Left = 64
        Top = 26
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN002BtnMouseDown
        OnMouseEnter = FN002BtnMouseEnter
        OnMouseLeave = FN002BtnMouseLeave
        OnMouseUp = FN002BtnMouseUp
      end
      object FN003Btn: TImage
        Left = 120
        Top = 26
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN003BtnMouseDown
        OnMouseEnter = FN003BtnMouseEnter
        OnMouseLeave = FN003BtnMouseLeave
        OnMouseUp = FN003BtnMouseUp
      end
      object FN004Btn: TImage
        Left = 176
        Top = 26
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN004BtnMouseDown
        OnMouseEnter = FN004BtnMouseEnter
        OnMouseLeave = FN004BtnMouseLeave
        OnMouseUp = FN004BtnMouseUp
      end
      object FN005Btn: TImage
        Left = 232
        Top = 26
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN005BtnMouseDown
        OnMouseEnter = FN005BtnMouseEnter
        OnMouseLeave = FN005BtnMouseLeave
        OnMouseUp = FN005BtnMouseUp
      end
      object FN006Btn: TImage
        Left = 288
        Top = 26
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN006BtnMouseDown
        OnMouseEnter = FN006BtnMouseEnter
        OnMouseLeave = FN006BtnMouseLeave
        OnMouseUp = FN006BtnMouseUp
      end
      object FN007Btn: TImage
        Left = 8
        Top = 80
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN007BtnMouseDown
        OnMouseEnter = FN007BtnMouseEnter
        OnMouseLeave = FN007BtnMouseLeave
        OnMouseUp = FN007BtnMouseUp
      end
      object FN008Btn: TImage
        Left = 64
        Top = 80
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN008BtnMouseDown
        OnMouseEnter = FN008BtnMouseEnter
        OnMouseLeave = FN008BtnMouseLeave
        OnMouseUp = FN008BtnMouseUp
      end
      object FN009Btn: TImage
        Left = 120
        Top = 80
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN009BtnMouseDown
        OnMouseEnter = FN009BtnMouseEnter
        OnMouseLeave = FN009BtnMouseLeave
        OnMouseUp = FN009BtnMouseUp
      end
      object FN010Btn: TImage
        Left = 176
        Top = 80
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN010BtnMouseDown
        OnMouseEnter = FN010BtnMouseEnter
        OnMouseLeave = FN010BtnMouseLeave
        OnMouseUp = FN010BtnMouseUp
      end
      object FN011Btn: TImage
        Left = 232
        Top = 80
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN011BtnMouseDown
        OnMouseEnter = FN011BtnMouseEnter
        OnMouseLeave = FN011BtnMouseLeave
        OnMouseUp = FN011BtnMouseUp
      end
      object FN012Btn: TImage
        Left = 288
        Top = 80
        Width = 48
        Height = 48
        Cursor = crHandPoint
        OnMouseDown = FN012BtnMouseDown
        OnMouseEnter = FN012BtnMouseEnter
        OnMouseLeave = FN012BtnMouseLeave
        OnMouseUp = FN012BtnMouseUp
      end
      object SearchPanel: TPanel
        Left = 348
        Top = 22
        Width = 44
        Height = 110
        BevelOuter = bvNone
        Color = clCream
        ParentBackground = False
        object HomeBtn: TImage
          Left = 6
          Top = 2
          Width = 32
          Height = 32
          Cursor = crHandPoint
          Hint = 'Go to home page ...'
          ShowHint = True
          OnMouseDown = HomeBtnMouseDown
          OnMouseEnter = HomeBtnMouseEnter
          OnMouseLeave = HomeBtnMouseLeave
          OnMouseUp = HomeBtnMouseUp
        end
        object SelectMailBtn: TImage
          Left = 6
          Top = 38
          Width = 32
          Height = 32
          Cursor = crHandPoint
          Hint = 'Web Mail ...'
          ShowHint = True
          OnMouseDown = SelectMailBtnMouseDown
          OnMouseEnter = SelectMailBtnMouseEnter
          OnMouseLeave = SelectMailBtnMouseLeave
          OnMouseUp = SelectMailBtnMouseUp
        end
        object FindDialogBtn: TImage
          Left = 6
          Top = 74
          Width = 32
          Height = 32
          Cursor = crHandPoint
          Hint = 'Find dialog ...'
          ShowHint = True
          OnMouseDown = FindDialogBtnMouseDown
          OnMouseEnter = FindDialogBtnMouseEnter
          OnMouseLeave = FindDialogBtnMouseLeave
          OnMouseUp = FindDialogBtnMouseUp
        end
      end
    end
    object HSplitter: TSplitter
      Top = 136
      Align = alTop
      Height = 4
      Color = clSilver
      ParentColor = False
    end
    object SelectMailPanel: TPanel
      Top = 140
      Align = alTop
      Height = 96
      BevelOuter = bvNone
      Color = clCream
      ParentBackground = False
      Visible = False
      object SelectMailLabel: TLabel
        Left = 4
        Top = 6
        Caption = '  Selected WEB-Mail:'
        Font.Color = clGray
        ParentFont = False
      end
      object WM001Btn: TImage
        Left = 8
        Top = 28
        Width = 48
        Height = 48
        Cursor = crHandPoint
        ShowHint = True
        OnMouseDown = WM001BtnMouseDown
        OnMouseEnter = WM001BtnMouseEnter
        OnMouseLeave = WM001BtnMouseLeave
        OnMouseUp = WM001BtnMouseUp
        Hint = 'Yahoo! Mail ...'
      end
      object WM002Btn: TImage
        Left = 64
        Top = 28
        Width = 48
        Height = 48
        Cursor = crHandPoint
        ShowHint = True
        OnMouseDown = WM002BtnMouseDown
        OnMouseEnter = WM002BtnMouseEnter
        OnMouseLeave = WM002BtnMouseLeave
        OnMouseUp = WM002BtnMouseUp
        Hint = 'Outlook.com ...'
      end
      object WM003Btn: TImage
        Left = 120
        Top = 28
        Width = 48
        Height = 48
        Cursor = crHandPoint
        ShowHint = True
        OnMouseDown = WM003BtnMouseDown
        OnMouseEnter = WM003BtnMouseEnter
        OnMouseLeave = WM003BtnMouseLeave
        OnMouseUp = WM003BtnMouseUp
        Hint = 'Gmail ...'
      end
      object SendMailLabel: TLabel
        Left = 200
        Top = 6
        Caption = '  Send Mail'
        Font.Color = clGray
        ParentFont = False
      end
      object AttachWebBtn: TImage
        Left = 208
        Top = 36
        Width = 32
        Height = 32
        Cursor = crHandPoint
        Hint = 'Send the page ...'
        ShowHint = True
        OnMouseDown = AttachWebBtnMouseDown
        OnMouseEnter = AttachWebBtnMouseEnter
        OnMouseLeave = AttachWebBtnMouseLeave
        OnMouseUp = AttachWebBtnMouseUp
      end
      object AttachURLBtn: TImage
        Left = 252
        Top = 36
        Width = 32
        Height = 32
        Cursor = crHandPoint
        Hint = 'Send the URL ...'
        ShowHint = True
        OnMouseDown = AttachURLBtnMouseDown
        OnMouseEnter = AttachURLBtnMouseEnter
        OnMouseLeave = AttachURLBtnMouseLeave
        OnMouseUp = AttachURLBtnMouseUp
      end
    end
    object NoctivaneLabel: TLabel
      Align = alBottom
      Alignment = taCenter
      Caption = 'Noctivane is hosted on GitHub'
      Cursor = crHandPoint
      Font.Color = clGray
      Hint = 'GitHub'
      ParentFont = False
      ShowHint = True
      OnMouseEnter = NoctivaneLabelMouseEnter
      OnMouseLeave = NoctivaneLabelMouseLeave
      OnMouseUp = NoctivaneLabelMouseUp
    end
    object PageControl: TPageControl
      Align = alClient
      ActivePage = HistorySheet
      object WebPagesSheet: TTabSheet
        Caption = 'Web Pages'
        object WebPagesTopPanel: TPanel
          Align = alTop
          Height = 48
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object SocialSetCheck: TCheckBox
            ParentColor = True
            Left = 8
            Top = 6
            Width = 170
            Height = 17
            Caption = 'Select social set'
            State = cbChecked
            OnClick = SocialSetCheckClick
          end
          object StartPageCheck: TCheckBox
            ParentColor = True
            Left = 8
            Top = 26
            Width = 170
            Height = 17
            Caption = 'Start page edit'
            State = cbChecked
            OnClick = StartPageCheckClick
          end
          object LastPageCheckBox: TCheckBox
            ParentColor = True
            Left = 196
            Top = 6
            Width = 170
            Height = 17
            Caption = 'Last visited page'
            OnClick = LastPageCheckBoxClick
          end
          object HomePageCheckBox: TCheckBox
            ParentColor = True
            Left = 196
            Top = 26
            Width = 170
            Height = 17
            Caption = 'Home page'
            State = cbChecked
            OnClick = HomePageCheckBoxClick
          end
        end
        object StartPagePanel: TPanel
          Align = alTop
          Height = 30
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object StartPageLabel: TLabel
            Left = 8
            Top = 8
            Caption = 'Home page:'
          end
          object StartPageEdit: TEdit
            Left = 76
            Top = 4
            Width = 222
            Height = 21
            Text = 'http://www.google.com/'
            OnKeyPress = StartPageEditKeyPress
          end
          object ApplayHomePage: TImage
            Left = 304
            Top = 3
            Width = 22
            Height = 22
            Cursor = crHandPoint
            Hint = 'Applay'
            ShowHint = True
            OnMouseUp = ApplayHomePageMouseUp
          end
          object Label4: TLabel
            Left = 330
            Top = 8
            Caption = 'Enter'
            Cursor = crHandPoint
            OnMouseUp = ApplayHomePageMouseUp
          end
        end
        object Shape1: TShape
          Align = alTop
          Height = 2
          Brush.Color = clSilver
          Pen.Color = clSilver
        end
        object FavoritesToolPanel: TPanel
          Align = alTop
          Height = 40
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object AddFavoriteBtn: TImage
            Left = 8
            Top = 4
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Add to Favorites ...'
            ShowHint = True
            OnMouseDown = AddFavoriteBtnMouseDown
            OnMouseEnter = AddFavoriteBtnMouseEnter
            OnMouseLeave = AddFavoriteBtnMouseLeave
            OnMouseUp = AddFavoriteBtnMouseUp
          end
          object DeleteFavoriteBtn: TImage
            Left = 46
            Top = 4
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Delete from Favorites ...'
            ShowHint = True
            OnMouseDown = DeleteFavoriteBtnMouseDown
            OnMouseEnter = DeleteFavoriteBtnMouseEnter
            OnMouseLeave = DeleteFavoriteBtnMouseLeave
            OnMouseUp = DeleteFavoriteBtnMouseUp
          end
          object ExportFavoritesBtn: TImage
            Left = 84
            Top = 4
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Export Favorites ...'
            ShowHint = True
            OnMouseDown = ExportFavoritesBtnMouseDown
            OnMouseEnter = ExportFavoritesBtnMouseEnter
            OnMouseLeave = ExportFavoritesBtnMouseLeave
            OnMouseUp = ExportFavoritesBtnMouseUp
          end
        end
        object FavoritesList: TFavoritesListView
          Align = alClient
          ResolveUrl = IntShCut
          Channels = False
          EmbeddedWB = WB
          PopupMenuMode = pmm_System
          PopupMenu = FavoritesPopup
          ShowColumnHeaders = False
        end
      end
      object HistorySheet: TTabSheet
        Caption = 'History'
        object HistoryToolPanel: TPanel
          Align = alTop
          Height = 40
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object ClearHistoryBtn: TImage
            Left = 8
            Top = 4
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Clear History ...'
            ShowHint = True
            OnMouseDown = ClearHistoryBtnMouseDown
            OnMouseEnter = ClearHistoryBtnMouseEnter
            OnMouseLeave = ClearHistoryBtnMouseLeave
            OnMouseUp = ClearHistoryBtnMouseUp
          end
        end
        object HistoryListView1: THistoryListView
          Align = alClient
          EmbeddedWB = WB
        end
      end
      object SystemToolsSheet: TTabSheet
        Caption = 'System Tools'
        object SystemToolsBox: TScrollBox
          Align = alClient
          BorderStyle = bsNone
          Color = clCream
          ParentColor = False
          HorzScrollBar.Visible = False
          VertScrollBar.Position = 0
          object ProxyLabel: TLabel
            Left = 8
            Top = 12
            Caption = 'Proxy settings:'
            Font.Style = [fsBold]
            ParentFont = False
          end
          object Image1: TImage
            Left = 318
            Top = 4
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Add to Favorites ...'
            ShowHint = True
            OnMouseDown = AddFavoriteBtnMouseDown
            OnMouseEnter = AddFavoriteBtnMouseEnter
            OnMouseLeave = AddFavoriteBtnMouseLeave
            OnMouseUp = AddFavoriteBtnMouseUp
          end
          object AutoLoadProxyCheck: TCheckBox
            ParentColor = True
            Left = 8
            Top = 34
            Width = 17
            Height = 17
            OnClick = AutoLoadProxyCheckClick
          end
          object AutoLoadProxyLabel: TLabel
            Left = 28
            Top = 36
            Caption = 'Auto load proxy'
          end
          object UserNameLabel: TLabel
            Left = 8
            Top = 62
            Caption = 'Username:'
          end
          object Edit4: TEdit
            Left = 90
            Top = 58
            Width = 200
            Height = 21
            OnKeyPress = Edit4KeyPress
          end
          object PasswordLabel: TLabel
            Left = 8
            Top = 88
            Caption = 'Password:'
          end
          object Edit5: TEdit
            Left = 90
            Top = 84
            Width = 200
            Height = 21
            PasswordChar = '*'
            OnKeyPress = Edit5KeyPress
          end
          object AddressLabel: TLabel
            Left = 8
            Top = 114
            Caption = 'Addresss:'
          end
          object Edit6: TEdit
            Left = 90
            Top = 110
            Width = 200
            Height = 21
            OnKeyPress = Edit6KeyPress
          end
          object PortLabel: TLabel
            Left = 8
            Top = 140
            Caption = 'Port:'
          end
          object Edit7: TEdit
            Left = 90
            Top = 136
            Width = 80
            Height = 21
            Text = '80'
            OnKeyPress = Edit7KeyPress
          end
          object DownloadLabel: TLabel
            Left = 8
            Top = 178
            Caption = 'Download options:'
            Font.Style = [fsBold]
            ParentFont = False
          end
          object Image2: TImage
            Left = 318
            Top = 170
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Add to Favorites ...'
            ShowHint = True
            OnMouseDown = AddFavoriteBtnMouseDown
            OnMouseEnter = AddFavoriteBtnMouseEnter
            OnMouseLeave = AddFavoriteBtnMouseLeave
            OnMouseUp = AddFavoriteBtnMouseUp
          end
          object DownloadStandartCheck: TCheckBox
            ParentColor = True
            Left = 8
            Top = 200
            Width = 17
            Height = 17
            State = cbChecked
            OnClick = DownloadStandartCheckClick
          end
          object DownloadStandartLabel: TLabel
            Left = 28
            Top = 202
            Caption = 'Standart settings'
          end
          object DownloadCheckList: TCheckListBox
            Left = 8
            Top = 224
            Width = 340
            Height = 272
            ItemHeight = 14
            Items.Strings = (
              'Download images'
              'Download videos'
              'Download background sounds'
              'Dont execute scripts'
              'Dont execute Java'
              'Dont execute ActiveX'
              'Dont download ActiveX'
              'Download but dont display'
              'Dont download frame'
              'Check page resynchronize'
              'Download and ignore cache'
              'Dont download behaviors'
              'Suppressed meta charset'
              'Disable URL if encoding UTF8'
              'Enable URL if encoding UTF8'
              'Force offline mode'
              'Dont perform client pull'
              'Download in silent mode'
              'Work offline')
            OnClick = DownloadCheckListClick
          end
          object UserInterfaceLabel: TLabel
            Left = 8
            Top = 512
            Caption = 'User Interface Options:'
            Font.Style = [fsBold]
            ParentFont = False
          end
          object Image3: TImage
            Left = 318
            Top = 504
            Width = 32
            Height = 32
            Cursor = crHandPoint
            Hint = 'Add to Favorites ...'
            ShowHint = True
          end
          object UserInterfaceCheck: TCheckBox
            ParentColor = True
            Left = 8
            Top = 534
            Width = 17
            Height = 17
            State = cbChecked
            OnClick = UserInterfaceCheckClick
          end
          object UserInterfaceStandartLabel: TLabel
            Left = 28
            Top = 536
            Caption = 'Standart settings'
          end
          object UserInterfaceCheckList: TCheckListBox
            Left = 8
            Top = 558
            Width = 340
            Height = 370
            ItemHeight = 14
            Items.Strings = (
              'Disable Tex Select'
              'Dont Use 3D Borders'
              'Dont Use Scroll Bars'
              'Post Pone Script Until Active'
              'Force Open New Windows'
              'Reserved Off Screen'
              'Force Flat Scroll Bars'
              'Insert Div Tag On Edit Mode'
              'Activate UI Only On Doc Click'
              'Consult Before Retrieving Behavior'
              'Check Font Supports Code Page'
              'Enable Submit Url In UTF8'
              'Enables Forms Auto Complete'
              'Force Same Window Navigation'
              'Enable Ime Local Languages'
              'Enable Themes'
              'Disable Pics Ratings'
              'Disable Frame Set Border'
              'Disable Auto Name Space Correction'
              'Disable Local File Access'
              'Disable Untrusted Protocol'
              'Check navigation Delegated To Host'
              'Enable redirect Notification'
              'Enable Dom Windless Controls'
              'Enable Windowed Controls'
              'Force User Activation On ActiveX Java')
            OnClick = UserInterfaceCheckListClick
          end
        end
      end
      object InfoSheet: TTabSheet
        Caption = 'Information'
        object InfoToolPanel: TPanel
          Align = alTop
          Height = 40
          BevelOuter = bvNone
          Color = clCream
          ParentBackground = False
          object Image4: TImage
            Left = 8
            Top = 4
            Width = 32
            Height = 32
            Cursor = crHandPoint
            OnMouseEnter = Label8MouseEnter
            OnMouseLeave = Label8MouseLeave
            OnMouseUp = Image4MouseUp
          end
          object Label8: TLabel
            Left = 46
            Top = 14
            Caption = 'Document Source'
            Cursor = crHandPoint
            Font.Color = clSkyBlue
            ParentFont = False
            OnMouseEnter = Label8MouseEnter
            OnMouseLeave = Label8MouseLeave
            OnMouseUp = Image4MouseUp
          end
        end
        object InfoEdit: TRichEdit
          Align = alClient
          BorderStyle = bsNone
          Color = clCream
          Font.Charset = 204
          Font.Color = clGray
          Font.Height = -11
          Font.Name = 'Tahoma'
          ParentFont = False
          ScrollBars = ssVertical
        end
      end
    end
  end
  object VSplitter: TSplitter
    Align = alRight
    AlignWithMargins = True
    Margins.Left = 0
    Margins.Top = 26
    Margins.Right = 0
    Margins.Bottom = 0
    Width = 4
    Color = clSilver
    ParentColor = False
    Visible = False
  end
  object URLPanel: TPanel
    Left = 20
    Top = 33
    Width = 759
    Height = 26
    Anchors = [akLeft, akTop, akRight]
    BevelOuter = bvNone
    Color = $00101112
    ParentBackground = False
    object URLEdit: TIEAddress
      Left = 2
      Top = 2
      Width = 425
      Height = 22
      Anchors = [akLeft, akTop, akRight]
      AutoNavigateOnLoad = False
      EmbeddedWB = WB
      OnUrlSelected = URLEditUrlSelected
    end
    object SelectPanel: TPanel
      Align = alRight
      Width = 330
      BevelOuter = bvNone
      Color = $00101112
      ParentBackground = False
      object GoBtn: TImage
        Left = 4
        Top = 2
        Width = 22
        Height = 22
        Cursor = crHandPoint
        OnMouseDown = GoBtnMouseDown
        OnMouseEnter = GoBtnMouseEnter
        OnMouseLeave = AddFavoriteBtnMouseLeave
        OnMouseUp = GoBtnMouseUp
      end
      object Label1: TLabel
        Left = 26
        Top = 7
        Caption = '  Go'
        Cursor = crHandPoint
        Font.Color = clGray
        ParentFont = False
        OnMouseDown = GoBtnMouseDown
        OnMouseEnter = GoBtnMouseEnter
        OnMouseLeave = AddFavoriteBtnMouseLeave
        OnMouseUp = GoBtnMouseUp
      end
      object FullScreenBtn: TImage
        Left = 62
        Top = 2
        Width = 22
        Height = 22
        Cursor = crHandPoint
        OnMouseEnter = Label2MouseEnter
        OnMouseLeave = Label2MouseLeave
        OnMouseUp = FullScreenBtnMouseUp
      end
      object Label2: TLabel
        Left = 84
        Top = 7
        Caption = ' ECO Mode'
        Cursor = crHandPoint
        Font.Color = clGray
        ParentFont = False
        OnMouseEnter = Label2MouseEnter
        OnMouseLeave = Label2MouseLeave
        OnMouseUp = FullScreenBtnMouseUp
      end
      object SecurityLabel: TLabel
        Left = 158
        Top = 7
        Width = 140
        Height = 13
        AutoSize = False
        Caption = 'Security Status:'
        Font.Color = clGray
        ParentFont = False
      end
      object SSLImage: TImage
        Left = 304
        Top = 3
        Width = 20
        Height = 20
        Visible = False
      end
      object UnlockImage: TImage
        Left = 304
        Top = 3
        Width = 20
        Height = 20
      end
    end
  end
  object PreviewPanel: TPanel
    Align = alClient
    AlignWithMargins = True
    Margins.Left = 0
    Margins.Top = 26
    Margins.Right = 0
    Margins.Bottom = 0
    BevelOuter = bvNone
    Color = clWhite
    ParentBackground = False
    object TopShape: TShape
      Align = alTop
      Height = 2
      Brush.Color = $003AA1C9
      Pen.Color = $003AA1C9
    end
    object WB: TEmbeddedWB
      Align = alClient
      DisableCtrlShortcuts = 'N'
      DisableErrors.EnableDDE = False
      DisableErrors.ScriptErrorsSuppressed = False
      PrintOptions.Footer = '&u&b&d'
      PrintOptions.Header = '&w&bPage &p of &P'
      PrintOptions.Orientation = poPortrait
      RegisterAsBrowser = True
      UserInterfaceOptions = [EnableThemes]
      OnCommandStateChange = WBCommandStateChange
      OnDocumentComplete = WBDocumentComplete
      OnDownloadBegin = WBDownloadBegin
      OnDownloadComplete = WBDownloadComplete
      OnNavigateComplete2 = WBNavigateComplete2
      OnNewWindow2 = WBNewWindow2
      OnNewWindow3 = WBNewWindow3
      OnProgressChange = WBProgressChange
      OnSetSecureLockIcon = WBSetSecureLockIcon
      OnTitleChange = WBTitleChange
    end
  end
  object HistoryMenu: THistoryMenu
    EmbeddedWB = WB
    MenuPosition = 1
    Caption = 'History'
  end
  object FavoritesPopup: TFavoritesPopup
    EmbeddedWB = WB
  end
  object ExportFavorite: TExportFavorite
    FavoritesPath = 'Auto'
    ShowSuccessMessage = False
    SuccessMessage.Strings = (
      'Your favorites have been exported to successfully!')
    TargetFileName = 'MyFavorites.htm'
    EmbeddedWB = WB
  end
  object ImportFavorite: TImportFavorite
    CurrentFileName = 'newbook.htm'
    FavoritesPath = 'Auto'
    SuccessMessage.Strings = (
      'Your favorites have been ')
    TargetSubFolder = 'Imported Bookmarks'
  end
  object SecurityManager: TSecurityManager
    UrlPolicy.ActiveX = Allow
    UrlPolicy.CrossDomainData = Allow
    UrlPolicy.JavaPermissions = Prohibited
    UrlPolicy.SubmitForms = Allow
    UrlPolicy.Scripts = Allow
  end
end
