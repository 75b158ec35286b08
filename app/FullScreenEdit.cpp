// The tools window's edit tab: the tools browser's page edited in place by
// the designer, its source in the source editor, what the designer sees in
// the labels and memos, and the commands that insert links, images and
// radio buttons and move the source both ways.
#include "app/FullScreen.h"
#include "app/Menu.h"

namespace FullScreen {

namespace {

// The command buttons and their picture numbers ("Design/D00nA.PNG").
constexpr const char* kEditButtons[] = {"EC001Btn", "EC002Btn", "EC003Btn", "EC004Btn",
                                        "EC005Btn", "EC006Btn", "EC007Btn"};

int EditButtonNumber(TObject* Sender) {
  auto* component = dynamic_cast<TComponent*>(Sender);
  if (!component) return 0;
  for (int i = 0; i < 7; ++i)
    if (component->Name() == QLatin1String(kEditButtons[i])) return i + 1;
  return 0;
}

}  // namespace

void TFullScreenForm::OffsetEditButton(TObject* Sender, int Delta) {
  if (auto* image = dynamic_cast<TControl*>(Sender); image && EditButtonNumber(Sender))
    image->SetBounds(image->Left() + Delta, image->Top() + Delta, image->Width(), image->Height());
}

void TFullScreenForm::ShowEditButtonLook(TObject* Sender, bool Hover) {
  const int n = EditButtonNumber(Sender);
  auto* image = dynamic_cast<TImage*>(Sender);
  if (!n || !image) return;
  // The edit switch shows the mode, not the pointer.
  const bool active = n == 1 ? FEditMode : Hover;
  Menu::LoadSkinPicture(
      image, FAppPath,
      QStringLiteral("Design/D%1%2.PNG").arg(n, 3, 10, QChar(u'0')).arg(QLatin1Char(active ? 'B' : 'A')));
}

void TFullScreenForm::EditButtonMouseDown(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, 1);
}
void TFullScreenForm::EditButtonMouseEnter(TObject* Sender) { ShowEditButtonLook(Sender, true); }
void TFullScreenForm::EditButtonMouseLeave(TObject* Sender) { ShowEditButtonLook(Sender, false); }

int TFullScreenForm::StartEditDesigner() {
  const int result = int(EditDesigner->ConnectDesigner());
  if (result != 0) return result;
  EditWB->Clear();
  HTMLMemo->Clear();
  TextMemo->Clear();
  return 0;
}

void TFullScreenForm::EC001BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  Screen->SetCursor(crHourGlass);
  OffsetEditButton(Sender, -1);
  URLEdit->SetText(AddressToCheck());
  if (FEditMode) {
    FEditMode = false;
    ShowEditButtonLook(EC001Btn, false);
    EC001Btn->SetHint(QStringLiteral("Start Edit Page"));
    EditDesigner->DisconnectDesigner();
    EditWB->Clear();
    HTMLMemo->Clear();
    TextMemo->Clear();
  } else if (CheckUrlExists(URLEdit->Text())) {
    FEditMode = true;
    ShowEditButtonLook(EC001Btn, false);
    EC001Btn->SetHint(QStringLiteral("Preview Page"));
    StartEditDesigner();
    EditWB->LoadFromBrowser();
  } else {
    URLEdit->SetText(QStringLiteral("Page not found ..."));
  }
  Screen->SetCursor(crDefault);
}

void TFullScreenForm::EC002BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, -1);
  // Each visible pane prints its own text.
  if (EditWB->Visible() && PrintDialog->Execute()) EditWB->PrintWithDialog();
  for (TMemo* memo : {HTMLMemo, TextMemo}) {
    if (!memo->Visible() || !PrintDialog->Execute()) continue;
    TRichEditWB printout(nullptr);
    printout.SetText(memo->GetText());
    printout.PrintText();
  }
}

void TFullScreenForm::EC003BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, -1);
  EditDesigner->CreateLink();
}

void TFullScreenForm::EC004BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, -1);
  EditDesigner->InsertInputRadio();
}

void TFullScreenForm::EC005BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, -1);
  EditDesigner->InsertImage();
}

void TFullScreenForm::EC006BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, -1);
  EditWB->LoadFromBrowser();
}

void TFullScreenForm::EC007BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  OffsetEditButton(Sender, -1);
  EditWB->PreviewInBrowser();
}

void TFullScreenForm::RTFCheckBoxClick(TObject*) {
  const bool show = !EditWB->Visible();
  EditWB->SetVisible(show);
  EditWBSplitter->SetVisible(show);
}

void TFullScreenForm::HTMCheckBoxClick(TObject*) {
  const bool show = !HTMLMemo->Visible();
  HTMLMemo->SetVisible(show);
  HTMSplitter->SetVisible(show);
}

void TFullScreenForm::TXTCheckBoxClick(TObject*) {
  const bool show = !TextMemo->Visible();
  TextMemo->SetVisible(show);
  HTMSplitter->SetVisible(show);
}

void TFullScreenForm::EditDesignerError(Integer, const String& ErrMessage) {
  Error_Label->SetCaption(ErrMessage);
}
void TFullScreenForm::EditDesignerInnerHtml(const String& innerHtml) { HTMLMemo->SetText(innerHtml); }
void TFullScreenForm::EditDesignerInnerText(const String& innerText) { TextMemo->SetText(innerText); }
void TFullScreenForm::EditDesignerKeyPress(Integer Key) {
  Key_Label->SetCaption(QStringLiteral("#") + QString::number(Key));
}
void TFullScreenForm::EditDesignerMousePosition(Integer X, Integer Y) {
  X_Label->SetCaption(QStringLiteral("X pos > ") + QString::number(X));
  Y_Label->SetCaption(QStringLiteral("Y pos > ") + QString::number(Y));
}
void TFullScreenForm::EditDesignerMouseButton(Integer Button) {
  switch (Button) {
    case 0: MouseBtn_Label->SetCaption(QStringLiteral("None")); break;
    case 1: MouseBtn_Label->SetCaption(QStringLiteral("Left")); break;
    case 2: MouseBtn_Label->SetCaption(QStringLiteral("Right")); break;
    default: break;
  }
}
void TFullScreenForm::EditDesignerTagName(const String& tagName) { Tag_Label->SetCaption(tagName); }
void TFullScreenForm::EditDesignerType_(const String& type_) { Events_Label->SetCaption(type_); }

std::vector<THandlerInfo> TFullScreenForm::EditTabHandlers() {
  using F = TFullScreenForm;
  return {HandlerEntry("EditButtonMouseDown", &F::EditButtonMouseDown),
          HandlerEntry("EditButtonMouseEnter", &F::EditButtonMouseEnter),
          HandlerEntry("EditButtonMouseLeave", &F::EditButtonMouseLeave),
          HandlerEntry("EC001BtnMouseUp", &F::EC001BtnMouseUp),
          HandlerEntry("EC002BtnMouseUp", &F::EC002BtnMouseUp),
          HandlerEntry("EC003BtnMouseUp", &F::EC003BtnMouseUp),
          HandlerEntry("EC004BtnMouseUp", &F::EC004BtnMouseUp),
          HandlerEntry("EC005BtnMouseUp", &F::EC005BtnMouseUp),
          HandlerEntry("EC006BtnMouseUp", &F::EC006BtnMouseUp),
          HandlerEntry("EC007BtnMouseUp", &F::EC007BtnMouseUp),
          HandlerEntry("RTFCheckBoxClick", &F::RTFCheckBoxClick),
          HandlerEntry("HTMCheckBoxClick", &F::HTMCheckBoxClick),
          HandlerEntry("TXTCheckBoxClick", &F::TXTCheckBoxClick),
          HandlerEntry("EditDesignerError", &F::EditDesignerError),
          HandlerEntry("EditDesignerInnerHtml", &F::EditDesignerInnerHtml),
          HandlerEntry("EditDesignerInnerText", &F::EditDesignerInnerText),
          HandlerEntry("EditDesignerKeyPress", &F::EditDesignerKeyPress),
          HandlerEntry("EditDesignerMousePosition", &F::EditDesignerMousePosition),
          HandlerEntry("EditDesignerMouseButton", &F::EditDesignerMouseButton),
          HandlerEntry("EditDesignerTagName", &F::EditDesignerTagName),
          HandlerEntry("EditDesignerType_", &F::EditDesignerType_)};
}

}  // namespace FullScreen
