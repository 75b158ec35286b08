// The main window's information tab: the shown page's text and its HTML.
#include "app/Menu.h"

namespace Menu {

void TMyMenuForm::FillInformationTab() {
  String text, html;
  WB->GetDocumentText(text);
  WB->GetDocumentSource(html);

  TTextAttributes* attributes = InfoEdit->SelAttributes();
  TStrings* lines = InfoEdit->Lines();
  // One update for the whole fill: the page's text and HTML can be large.
  lines->BeginUpdate();
  lines->Clear();
  lines->Add(String());
  attributes->SetColor(clSkyBlue);
  attributes->SetStyle(TFontStyles{fsBold});
  lines->Add(QStringLiteral("TEXT:"));
  attributes->SetColor(clGray);
  attributes->SetStyle(TFontStyles{});
  lines->Add(String());
  InfoEdit->Font()->SetStyle(TFontStyles{});
  lines->Add(text);
  lines->Add(String());
  attributes->SetColor(clTeal);
  attributes->SetStyle(TFontStyles{fsBold});
  lines->Add(QStringLiteral("HTML:"));
  attributes->SetStyle(TFontStyles{});
  lines->Add(String());
  lines->Add(html);
  lines->EndUpdate();
}

}  // namespace Menu
