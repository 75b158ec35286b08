// The tools window's parse tab: the start and clear button parses the page
// of the address box with WebParser and writes a report of its elements, as
// the checked filters choose; the report can be printed.
#include <QRegularExpression>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/Streaming.h"

namespace FullScreen {

namespace {

// The report's separators.
const char kS1[] = "_______________________\r\n";
const char kS2[] = "\r___________________________\r";
const char kS3[] = "___________________________\r";

const char kPrintTitle[] = "Noctivane Parser v 1.00.00.00";

// The filters the default button checks.
const char* const kDefaultFilters[] = {"Body", "Div", "Form", "Meta Tags", "Script"};

String Str(const char* s) { return QString::fromLatin1(s); }

}  // namespace

// ---------------------------------------------------------------- report lines

bool TFullScreenForm::IsParseFilterChecked(const String& Name) const {
  if (!CheckListBox) return false;
  TStrings* items = CheckListBox->Items();
  for (int i = 0; i < items->Count(); ++i)
    if (items->Get(i).compare(Name, Qt::CaseInsensitive) == 0) return CheckListBox->Checked(i);
  return false;
}

void TFullScreenForm::AddParseLine(const String& Line) { ParsInfo->Lines()->Add(Line); }

namespace {

// The attributes the next lines take; a block that names none writes with
// what the previous block left.
void Attributes(TRichEdit* edit, TColor color, TFontStyles style) {
  edit->SelAttributes()->SetColor(color);
  edit->SelAttributes()->SetStyle(style);
}

void Attributes(TRichEdit* edit, TColor color, TFontStyles style, int size) {
  Attributes(edit, color, style);
  edit->SelAttributes()->SetSize(size);
}

const TFontStyles kNone{};
const TFontStyles kBold{fsBold};
const TFontStyles kBoldUnderline{fsBold, fsUnderline};

// A heading between two rules, in the dark shadow colour.
void Heading(TRichEdit* edit, const String& text) {
  Attributes(edit, cl3DDkShadow, kNone);
  edit->Lines()->Add(Str(kS2));
  Attributes(edit, cl3DDkShadow, kBold);
  edit->Lines()->Add(text);
  Attributes(edit, cl3DDkShadow, kNone);
  edit->Lines()->Add(Str(kS3));
}

}  // namespace

// ---------------------------------------------------------------- buttons

void TFullScreenForm::ShowParseButtonLook(TImage* Button, bool Hover) {
  String file;
  if (Button == P001Btn)
    file = String(FParseRunning ? "Parse/P003" : "Parse/P001") + (Hover ? "B.PNG" : "A.PNG");
  else if (Button == P002Btn)
    file = String("Parse/P002") + (Hover ? "B.PNG" : "A.PNG");
  else if (Button == PC001Btn)
    file = FDefaultFiltersOn ? "Controls/C001B.PNG" : "Controls/C001A.PNG";
  else if (Button == PC002Btn)
    file = FParseTimeControl ? "Controls/C002B.PNG" : "Controls/C002A.PNG";
  if (!file.isEmpty()) Menu::LoadSkinPicture(Button, FAppPath, file);
}

void TFullScreenForm::ShowParseTab() {
  for (TImage* button : {P001Btn, P002Btn, PC001Btn, PC002Btn}) ShowParseButtonLook(button, false);
}

void TFullScreenForm::ParseButtonMouseDown(TObject* Sender, TMouseButton, TShiftState, int, int) {
  if (auto* image = dynamic_cast<TImage*>(Sender))
    image->SetBounds(image->Left() + 1, image->Top() + 1, image->Width(), image->Height());
}

void TFullScreenForm::ParseButtonMouseEnter(TObject* Sender) {
  if (auto* image = dynamic_cast<TImage*>(Sender)) ShowParseButtonLook(image, true);
}

void TFullScreenForm::ParseButtonMouseLeave(TObject* Sender) {
  if (auto* image = dynamic_cast<TImage*>(Sender)) ShowParseButtonLook(image, false);
}

void TFullScreenForm::P001BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  P001Btn->SetBounds(P001Btn->Left() - 1, P001Btn->Top() - 1, P001Btn->Width(), P001Btn->Height());
  // A parse is running (this press came from inside its wait): nothing to do.
  if (WebParser->Busy()) return;
  Menu::TBusyCursor busy;
  const String address = AddressToCheck();
  URLEdit->SetText(address);
  if (FParseRunning) {
    FParseRunning = false;
    ShowParseButtonLook(P001Btn, false);
    ParsInfo->Lines()->Clear();
    return;
  }
  if (!CheckUrlExists(address)) {
    URLEdit->SetText("Page not found ...");
    return;
  }
  FAnchorCount = 0;
  ParsInfo->Lines()->Clear();
  WebParser->Parse(address);
  FParseRunning = true;
  ShowParseButtonLook(P001Btn, false);
}

void TFullScreenForm::P002BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  P002Btn->SetBounds(P002Btn->Left() - 1, P002Btn->Top() - 1, P002Btn->Width(), P002Btn->Height());
  if (PrintDialog->Execute()) ParsInfo->Print(Str(kPrintTitle));
}

void TFullScreenForm::PC001BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  CheckAllParseFilters->SetChecked(false);
  TStrings* items = CheckListBox->Items();
  for (int i = 0; i < items->Count(); ++i) CheckListBox->SetChecked(i, false);
  for (const char* name : kDefaultFilters)
    for (int i = 0; i < items->Count(); ++i)
      if (items->Get(i) == QLatin1String(name)) CheckListBox->SetChecked(i, true);
  FDefaultFiltersOn = !FDefaultFiltersOn;
  ShowParseButtonLook(PC001Btn, false);
}

void TFullScreenForm::PC002BtnMouseUp(TObject* Sender, TMouseButton, TShiftState, int, int) {
  const bool on = !FParseTimeControl;
  FParseTimeControl = on;
  ShowParseButtonLook(PC002Btn, false);
  TimeControlParse->SetChecked(on);  // its click handler agrees with the flag
}

void TFullScreenForm::CheckAllParseFiltersClick(TObject* Sender) {
  FDefaultFiltersOn = false;
  ShowParseButtonLook(PC001Btn, false);
  for (int i = 0; i < CheckListBox->Items()->Count(); ++i)
    CheckListBox->SetChecked(i, CheckAllParseFilters->Checked());
}

void TFullScreenForm::TimeControlParseClick(TObject* Sender) {
  FParseTimeControl = TimeControlParse->Checked();
  ShowParseButtonLook(PC002Btn, false);
}

void TFullScreenForm::ShowParseFiltersClick(TObject* Sender) {
  const bool show = !CheckPanel->Visible();
  CheckPanel->SetVisible(show);
  ParseSplitter->SetVisible(show);
  CheckListBox->SetVisible(show);
}

// ---------------------------------------------------------------- report blocks

void TFullScreenForm::WebParserAnchor(TObject*, String hRef, String Target, String Rel, String Rev,
                                      String Urn, String Methods, String Name, String Host, String HostName,
                                      String PathName, String Port, String Protocol, String Search, String,
                                      String AccessKey, String ProtocolLong, String MimeType, String NameProp,
                                      TElementInfo&) {
  if (!IsParseFilterChecked("Anchor") || FAnchorCount != 0) return;
  ++FAnchorCount;
  AddParseLine(Str(kS1));
  if (!hRef.isEmpty()) AddParseLine(">> ANCHOR:");
  AddParseLine(Str(kS1));
  const std::pair<const char*, const String*> lines[] = {
      {"> Ref: ", &hRef},
      {"> Rel: ", &Rel},
      {"> Rev: ", &Rev},
      {"> Urn: ", &Urn},
      {"> Target: ", &Target},
      {"> Methods: ", &Methods},
      {"> Name: ", &Name},
      {"> Host: ", &Host},
      {"> Host Name: ", &HostName},
      {"> Path Name: ", &PathName},
      {"> Port: ", &Port},
      {"> Protocol: ", &Protocol},
      {"> Search: ", &Search},
      {"> Access Key: ", &AccessKey},
      {"> Protocol Long: ", &ProtocolLong},
      {"> Mime Type: ", &MimeType},
      {"> Name Prop: ", &NameProp},
  };
  for (const auto& [label, value] : lines)
    if (!value->isEmpty()) AddParseLine(Str(label) + *value);
  AddParseLine("\r\n");
}

void TFullScreenForm::WebParserBase(TObject*, String hRef, String Target, TElementInfo& Element) {
  if (!IsParseFilterChecked("Base")) return;
  if (!hRef.isEmpty()) AddParseLine("\r\nRef: " + hRef);
  if (!Target.isEmpty()) AddParseLine("Target: " + Target);
  if (!Element.InnerHTML.isEmpty()) AddParseLine("Inner HTML:\r\n" + Element.InnerHTML);
}

void TFullScreenForm::WebParserBaseFont(TObject*, OleVariant& Color, String Face, int Size,
                                        TElementInfo& Element) {
  if (!IsParseFilterChecked("Base Font")) return;
  if (!Color.toString().isEmpty()) AddParseLine("\r\nColor: " + Color.toString());
  if (!Face.isEmpty()) AddParseLine("Face: " + Face);
  AddParseLine("Size: " + IntToStr(Size));
  if (!Element.InnerHTML.isEmpty()) AddParseLine("Inner HTML:\r\n" + Element.InnerHTML);
}

void TFullScreenForm::WebParserBody(TObject*, String Background, String bgProperties, OleVariant&,
                                    OleVariant&, OleVariant&, OleVariant&, OleVariant& bgColor, OleVariant&,
                                    OleVariant& Link, OleVariant& vLink, OleVariant& aLink, bool,
                                    TElementInfo& Element) {
  if (!IsParseFilterChecked("Body")) return;
  const bool inner = !Element.InnerHTML.isEmpty();
  if (inner) {
    Heading(ParsInfo, "PAGE BODY:");
  }
  Attributes(ParsInfo, clTeal, kBold);
  if (!Background.isEmpty()) AddParseLine("Background:" + Background);
  if (!bgProperties.isEmpty()) AddParseLine("Back Ground Properties: " + bgProperties);
  if (!bgColor.toString().isEmpty()) AddParseLine("Back Ground Color: " + bgColor.toString());
  if (!Link.toString().isEmpty()) AddParseLine("Link: " + Link.toString());
  if (!vLink.toString().isEmpty()) AddParseLine("vLink: " + vLink.toString());
  if (!aLink.toString().isEmpty()) AddParseLine("aLink: " + aLink.toString() + "\r");
  if (inner) {
    Heading(ParsInfo, "INNER HTML:");
  }
  AddParseLine(Element.InnerHTML);
  ParsInfo->SelAttributes()->SetColor(clBlack);
}

// The filter list has no "BR" item, so this block is never written.
void TFullScreenForm::WebParserBR(TObject*, String, TElementInfo& Element) {
  if (!IsParseFilterChecked("BR")) return;
  AddParseLine("\r\n");
  AddParseLine(">> BR:");
  AddParseLine("\r\n");
  AddParseLine(Element.InnerHTML);
  AddParseLine("\r\nClear: ");
}

void TFullScreenForm::WebParserComment(TObject*, String Text, TElementInfo& Element) {
  if (!IsParseFilterChecked("Comment")) return;
  AddParseLine("\r\n");
  AddParseLine(">> COMENT:");
  AddParseLine("\r\n");
  AddParseLine(Element.InnerHTML);
  AddParseLine("\r\nText: " + Text);
  if (!Element.InnerHTML.isEmpty()) AddParseLine("Inner HTML:\r\n" + Element.InnerHTML);
}

void TFullScreenForm::WebParserDiv(TObject*, String Align, bool, TElementInfo& Element) {
  if (!IsParseFilterChecked("Div")) return;
  AddParseLine("\r\n");
  AddParseLine(">> DIV:");
  AddParseLine("\r\n");
  AddParseLine("\r\nAlign: " + Align);
  if (!Element.InnerHTML.isEmpty()) AddParseLine("Inner HTML:" + Element.InnerHTML);
}

void TFullScreenForm::WebParserDocInfo(TObject*, const String& Text) {
  if (IsParseFilterChecked("Information")) AddParseLine(Text);
}

void TFullScreenForm::WebParserFont(TObject*, OleVariant& Color, OleVariant& Size, String Face,
                                    TElementInfo& Element) {
  if (!IsParseFilterChecked("Font")) return;
  if (!Color.toString().isEmpty()) AddParseLine("\r\nColor: " + Color.toString());
  if (!Size.toString().isEmpty()) AddParseLine("Size: " + Size.toString());
  if (!Face.isEmpty()) AddParseLine("Face: " + Face);
  if (!Element.InnerHTML.isEmpty()) AddParseLine("Inner HTML:" + Element.InnerHTML);
}

void TFullScreenForm::WebParserForm(TObject*, String Action, String Dir, String Encoding, String Method,
                                    String Target, String Name, TElementInfo& Element) {
  if (!IsParseFilterChecked("Form")) return;
  if (!Action.isEmpty()) AddParseLine("\r\nAction: " + Action);
  const std::pair<const char*, const String*> lines[] = {{"Dir: ", &Dir},
                                                         {"Encoding: ", &Encoding},
                                                         {"Method: ", &Method},
                                                         {"Target: ", &Target},
                                                         {"Name: ", &Name}};
  for (const auto& [label, value] : lines)
    if (!value->isEmpty()) AddParseLine(Str(label) + *value);
  if (!Element.InnerHTML.isEmpty()) AddParseLine("Inner HTML:\r\n" + Element.InnerHTML);
}

void TFullScreenForm::WebParserHR(TObject*, String Align, OleVariant& Color, OleVariant&, OleVariant& Size,
                                  bool, TElementInfo& Element) {
  if (!IsParseFilterChecked("HR")) return;
  if (!Align.isEmpty()) AddParseLine("\r\nAlign: " + Align);
  if (!Color.toString().isEmpty()) AddParseLine("Color: " + Color.toString());
  if (!Size.toString().isEmpty()) AddParseLine("Size: " + Size.toString());
  if (!Element.OuterHTML.isEmpty()) AddParseLine("Element.OuterHTML:\r\n" + Element.OuterHTML);
}

void TFullScreenForm::WebParserImage(TObject*, String Source, String LowSrc, String Vrml, String DynSrc,
                                     String Alt, String Align, String UseMap, bool, OleVariant&, OleVariant&,
                                     int, int hSpace, int Width, int Height, TElementInfo&) {
  if (!IsParseFilterChecked("Images")) return;
  if (!Source.isEmpty()) {
    Attributes(ParsInfo, clTeal, kBoldUnderline, 8);
    AddParseLine("\r\nSource: " + Source);
    Attributes(ParsInfo, cl3DDkShadow, kNone, 8);
  }
  const std::pair<const char*, const String*> lines[] = {{"LowSrc: ", &LowSrc}, {"Vrml: ", &Vrml},
                                                         {"DynSrc: ", &DynSrc}, {"Alt: ", &Alt},
                                                         {"Align: ", &Align},   {"UseMap: ", &UseMap}};
  for (const auto& [label, value] : lines)
    if (!value->isEmpty()) AddParseLine(Str(label) + *value);
  AddParseLine("hSpace: " + IntToStr(hSpace));
  AddParseLine("Width: " + IntToStr(Width));
  AddParseLine("Height: " + IntToStr(Height));
}

void TFullScreenForm::WebParserMarquee(TObject*, OleVariant& bgColor, OleVariant&, OleVariant&,
                                       String Direction, String Behavior, int, int, int, int, int,
                                       TElementInfo& Element) {
  if (!IsParseFilterChecked("Marcue")) return;
  if (!bgColor.toString().isEmpty()) AddParseLine("\r\nbgColor: " + bgColor.toString());
  if (!Direction.isEmpty()) AddParseLine("Direction: " + Direction);
  if (!Behavior.isEmpty()) AddParseLine("Behavior: " + Behavior);
  if (!Element.OuterHTML.isEmpty()) AddParseLine("Outer HTML:\r\n" + Element.OuterHTML);
}

void TFullScreenForm::WebParserMeta(TObject*, String HttpEquiv, String Content, String Name, String URL,
                                    String Charset, TElementInfo& Element) {
  if (!IsParseFilterChecked("Meta Tags")) return;
  AddParseLine("\r");
  ParsInfo->SelAttributes()->SetName("Arial");
  Attributes(ParsInfo, clTeal, kBoldUnderline, 11);
  AddParseLine("META TAG:");
  AddParseLine("\r");
  ParsInfo->SelAttributes()->SetSize(9);
  const std::pair<const char*, const String*> lines[] = {{"Http Equiv: ", &HttpEquiv},
                                                         {"Content: ", &Content},
                                                         {"Name: ", &Name},
                                                         {"Url: ", &URL},
                                                         {"Charset: ", &Charset}};
  for (const auto& [label, value] : lines)
    if (!value->isEmpty()) AddParseLine(Str(label) + *value);
  if (!Element.OuterHTML.isEmpty()) {
    Attributes(ParsInfo, clOlive, kBold);
    AddParseLine("\rOuter HTML:");
    Attributes(ParsInfo, clOlive, kNone);
    AddParseLine(Element.OuterHTML);
  }
}

void TFullScreenForm::WebParserScript(TObject*, String Source, String HtmlFor, String Event, String, bool,
                                      TElementInfo& Element) {
  if (!IsParseFilterChecked("Script")) return;
  if (!Element.Language.isEmpty()) {
    Heading(ParsInfo, "LANGUAGE: " + Element.Language);
  }
  if (!Source.isEmpty()) AddParseLine("Source: " + Source);
  if (!HtmlFor.isEmpty()) AddParseLine("HTML For: " + HtmlFor);
  if (!Event.isEmpty()) AddParseLine("Event: " + Event);
  if (!Element.OuterHTML.isEmpty()) {
    Attributes(ParsInfo, clTeal, kBold);
    AddParseLine("Outer HTML:");
    ParsInfo->SelAttributes()->SetStyle(kNone);
    AddParseLine(Element.OuterHTML + "\r");
  }
  if (!Element.InnerHTML.isEmpty()) {
    AddParseLine(Str(kS3));
    Attributes(ParsInfo, clOlive, kBold);
    AddParseLine("Inner HTML:");
    ParsInfo->SelAttributes()->SetStyle(kNone);
    AddParseLine(Element.InnerHTML + "\r");
  }
  ParsInfo->SelAttributes()->SetColor(clBlack);
}

void TFullScreenForm::WebParserParseDocument(TObject*, HRESULT, const String& stMessage) {
  if (!TimeControlParse->Checked()) return;
  ParsInfo->SelAttributes()->SetName("Arial");
  Attributes(ParsInfo, clTeal, kBoldUnderline, 9);
  // The process's date and time format, with its time separator.
  AddParseLine("Process [" + DateTimeToStr(Now()) + "]");
  Attributes(ParsInfo, clOlive, kNone, 11);
  AddParseLine(stMessage);
  AddParseLine("\r");
}

void TFullScreenForm::WebParserParseError(TObject*, int, const String& Url, const String& stError) {
  if (IsParseFilterChecked("Error")) AddParseLine("> Error: " + Url + "\r\n" + stError);
}

void TFullScreenForm::WebParserElement(TObject*, TElementInfo&) {}
void TFullScreenForm::WebParserFrame(TObject*, OleVariant&, OleVariant&, TElementInfo&) {}
void TFullScreenForm::WebParserFrameSet(TObject*, const String&, const String&, const String&, const String&,
                                        OleVariant&, OleVariant&, OleVariant&, TElementInfo&) {}
void TFullScreenForm::WebParserNoFrame(TObject*, TElementInfo&) {}
void TFullScreenForm::WebParserQueryInfo(const String&, const String&, const String&) {}
void TFullScreenForm::WebParserStateChange(TObject*, IEParser::TParserState) {}
void TFullScreenForm::WebParserStatusText(TObject*, const String&) {}
void TFullScreenForm::WebParserBusyStateChange(TObject*) {}

// ---------------------------------------------------------------- handler table

std::vector<THandlerInfo> ParseTabHandlers() {
  using F = TFullScreenForm;
  return {
      HandlerEntry("P001BtnMouseUp", &F::P001BtnMouseUp),
      HandlerEntry("P002BtnMouseUp", &F::P002BtnMouseUp),
      HandlerEntry("PC001BtnMouseUp", &F::PC001BtnMouseUp),
      HandlerEntry("PC002BtnMouseUp", &F::PC002BtnMouseUp),
      HandlerEntry("ParseButtonMouseDown", &F::ParseButtonMouseDown),
      HandlerEntry("ParseButtonMouseEnter", &F::ParseButtonMouseEnter),
      HandlerEntry("ParseButtonMouseLeave", &F::ParseButtonMouseLeave),
      HandlerEntry("CheckAllParseFiltersClick", &F::CheckAllParseFiltersClick),
      HandlerEntry("TimeControlParseClick", &F::TimeControlParseClick),
      HandlerEntry("ShowParseFiltersClick", &F::ShowParseFiltersClick),
      HandlerEntry("WebParserAnchor", &F::WebParserAnchor),
      HandlerEntry("WebParserBase", &F::WebParserBase),
      HandlerEntry("WebParserBaseFont", &F::WebParserBaseFont),
      HandlerEntry("WebParserBody", &F::WebParserBody),
      HandlerEntry("WebParserBR", &F::WebParserBR),
      HandlerEntry("WebParserComment", &F::WebParserComment),
      HandlerEntry("WebParserDiv", &F::WebParserDiv),
      HandlerEntry("WebParserDocInfo", &F::WebParserDocInfo),
      HandlerEntry("WebParserFont", &F::WebParserFont),
      HandlerEntry("WebParserForm", &F::WebParserForm),
      HandlerEntry("WebParserHR", &F::WebParserHR),
      HandlerEntry("WebParserImage", &F::WebParserImage),
      HandlerEntry("WebParserMarquee", &F::WebParserMarquee),
      HandlerEntry("WebParserMeta", &F::WebParserMeta),
      HandlerEntry("WebParserScript", &F::WebParserScript),
      HandlerEntry("WebParserParseDocument", &F::WebParserParseDocument),
      HandlerEntry("WebParserParseError", &F::WebParserParseError),
      HandlerEntry("WebParserElement", &F::WebParserElement),
      HandlerEntry("WebParserFrame", &F::WebParserFrame),
      HandlerEntry("WebParserFrameSet", &F::WebParserFrameSet),
      HandlerEntry("WebParserNoFrame", &F::WebParserNoFrame),
      HandlerEntry("WebParserQueryInfo", &F::WebParserQueryInfo),
      HandlerEntry("WebParserStateChange", &F::WebParserStateChange),
      HandlerEntry("WebParserStatusText", &F::WebParserStatusText),
      HandlerEntry("WebParserBusyStateChange", &F::WebParserBusyStateChange),
  };
}

}  // namespace FullScreen
