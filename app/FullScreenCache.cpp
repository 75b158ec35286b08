// The tools window's cache tab: the entries of the Internet cache, their
// details, and the delete, add and clear buttons.
#include <QFileInfo>

#include "app/FullScreen.h"

namespace FullScreen {

using IECache::TSearchPattern;

namespace {

// How long a click waits for the browser to finish its page before it shows
// the details.
constexpr Cardinal kDetailsWaitMs = 10000;

// Local copies the browser can show; the test is the cache's own spelling.
bool Showable(const String& localFile) {
  for (const char* ext : {".htm", ".gif", ".jpg"})
    if (localFile.contains(QLatin1String(ext), Qt::CaseSensitive)) return true;
  return false;
}

// The hour-glass for as long as it lives.
struct BusyCursor {
  BusyCursor() { Screen->SetCursor(crHourGlass); }
  ~BusyCursor() { Screen->SetCursor(crDefault); }
};

}  // namespace

void TFullScreenForm::IECacheEntry(TObject* Sender, bool& Cancel) {
  CacheListBox->Items()->Add(IECache->EntryInfo.SourceUrl);
}

String TFullScreenForm::CacheDateToStr(TDateTime Value) const {
  return Value >= 0 ? DateTimeToStr(Value) : String();
}

void TFullScreenForm::CachePatternBoxClick(TCheckBox* Box, TSearchPattern Pattern) {
  BusyCursor busy;
  if (!Box->Checked()) {
    CacheListBox->Clear();
    return;
  }
  // The other boxes' own handlers empty the list as they are unchecked.
  for (TCheckBox* other : {AllCheckBox, CookiesCheckBox, HistoryCheckBox, URLCheckBox})
    if (other != Box) other->SetChecked(false);
  TStrings* lines = CacheListBox->Items();
  lines->BeginUpdate();
  lines->Clear();
  IECache->SetSearchPattern(Pattern);
  IECache->EnumerateEntries(0);
  lines->EndUpdate();
}

void TFullScreenForm::AllCheckBoxClick(TObject* Sender) { CachePatternBoxClick(AllCheckBox, IECache::spAll); }

void TFullScreenForm::CookiesCheckBoxClick(TObject* Sender) {
  CachePatternBoxClick(CookiesCheckBox, IECache::spCookies);
}

void TFullScreenForm::HistoryCheckBoxClick(TObject* Sender) {
  CachePatternBoxClick(HistoryCheckBox, IECache::spHistory);
}

void TFullScreenForm::URLCheckBoxClick(TObject* Sender) { CachePatternBoxClick(URLCheckBox, IECache::spUrl); }

void TFullScreenForm::CacheListBoxClick(TObject* Sender) {
  // A click beside the lines selects nothing and shows nothing.
  const int index = CacheListBox->ItemIndex();
  if (index < 0) return;
  // A page that never completes must not hold the window.
  WB->Wait(kDetailsWaitMs);
  // With a single line the record still holds that entry from the listing.
  if (CacheListBox->Count() > 1) IECache->QueryEntryInfo(CacheListBox->Items()->Get(index));
  const IECache::TEntryInfo& entry = IECache->EntryInfo;
  if (Showable(entry.LocalFile) && ShowInBrowserCheckBox->Checked()) WB->Go(entry.LocalFile, 0);
  Label1->SetCaption(QStringLiteral("Hitrate: ") + IntToStr(entry.HitRate));
  Label2->SetCaption(QStringLiteral("FileSize: ") + IntToStr(entry.Size));
  Label3->SetCaption(QStringLiteral("Last access: ") + CacheDateToStr(entry.LastAccess));
  Label4->SetCaption(QStringLiteral("Last modified: ") + CacheDateToStr(entry.LastModified));
  Label5->SetCaption(QStringLiteral("Expire: ") + CacheDateToStr(entry.ExpireTime));
  edtFileName->SetText(entry.LocalFile);
}

void TFullScreenForm::ShowInBrowserCheckBoxClick(TObject* Sender) {
  if (!ShowInBrowserCheckBox->Checked()) WB->GoAboutBlank();
  CacheListBox->SetFocus();
}

void TFullScreenForm::CC001BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  WB->GoAboutBlank();
  const int index = CacheListBox->ItemIndex();
  if (index >= 0) IECache->DeleteEntry(CacheListBox->Items()->Get(index));
  CacheListBox->SetFocus();
  if (AllCheckBox->Checked())
    AllCheckBoxClick(AllCheckBox);
  else if (URLCheckBox->Checked())
    URLCheckBoxClick(URLCheckBox);
  else if (CookiesCheckBox->Checked())
    CookiesCheckBoxClick(CookiesCheckBox);
  else if (HistoryCheckBox->Checked())
    HistoryCheckBoxClick(HistoryCheckBox);
}

void TFullScreenForm::CC002BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  OpenDialog->SetFilter(QStringLiteral("Internet files|*.htm;*.html;*.gif;*.jpg"));
  if (!OpenDialog->Execute()) return;
  const String fileName = QFileInfo(OpenDialog->FileName()).absoluteFilePath();
  // The file's own address, so that the line names the file it came from.
  const String url = QStringLiteral("file://") + fileName;
  if (IECache->AddFileToCache(url, fileName, IECache::FilterMask({IECache::NORMAL_ENTRY}), Now()) !=
      ERROR_SUCCESS)
    return;
  // The other boxes empty the list as they are unchecked; the full list
  // comes after them.
  for (TCheckBox* other : {URLCheckBox, CookiesCheckBox, HistoryCheckBox}) other->SetChecked(false);
  if (AllCheckBox->Checked())
    AllCheckBoxClick(AllCheckBox);
  else
    AllCheckBox->SetChecked(true);
  const int line = CacheListBox->Items()->IndexOf(url);
  if (line >= 0) CacheListBox->SetItemIndex(line);
}

void TFullScreenForm::CC003BtnMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  IECache->SetSearchPattern(IECache::spAll);
  IECache->DeleteAllEntries();
  CacheListBox->Clear();
}

std::vector<THandlerInfo> CacheTabHandlers() {
  using F = TFullScreenForm;
  return {HandlerEntry("AllCheckBoxClick", &F::AllCheckBoxClick),
          HandlerEntry("CookiesCheckBoxClick", &F::CookiesCheckBoxClick),
          HandlerEntry("HistoryCheckBoxClick", &F::HistoryCheckBoxClick),
          HandlerEntry("URLCheckBoxClick", &F::URLCheckBoxClick),
          HandlerEntry("CacheListBoxClick", &F::CacheListBoxClick),
          HandlerEntry("ShowInBrowserCheckBoxClick", &F::ShowInBrowserCheckBoxClick),
          HandlerEntry("CC001BtnMouseUp", &F::CC001BtnMouseUp),
          HandlerEntry("CC002BtnMouseUp", &F::CC002BtnMouseUp),
          HandlerEntry("CC003BtnMouseUp", &F::CC003BtnMouseUp),
          HandlerEntry("IECacheEntry", &F::IECacheEntry)};
}

}  // namespace FullScreen
