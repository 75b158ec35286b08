// Auto-completion of edit fields: the completion attached to a QLineEdit,
// the auto-complete object and its string sources.
#include "platform/shell/AutoComplete.h"
#include "platform/rtl/Registry.h"
#include "platform/shell/ShellItems.h"
#include "platform/shell/UrlHistory.h"
#include "platform/winapi/KeyCodes.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStringListModel>

#include <cstring>

using namespace shelldetail;

namespace {

constexpr int kMaxStrings = 2000;
const char* const kAttachmentName = "noctivaneAutoComplete";
const char* const kCompleterName = "noctivaneAutoCompleter";

QLineEdit* editOf(HWND hwnd) {
  QWidget* widget = IsWindow(hwnd) ? WidgetOf(hwnd) : nullptr;
  if (!widget) return nullptr;
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit;
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->lineEdit();
  return widget->findChild<QLineEdit*>();
}

String withoutCommonPrefixes(const String& entry) {
  String s = entry;
  for (const char* scheme : {"http://", "https://", "ftp://", "file:///"})
    if (s.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) {
      s.remove(0, int(std::strlen(scheme)));
      break;
    }
  if (s.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) s.remove(0, 4);
  return s;
}

// Where in `entry` the typed text matches (the entry's text from there on
// starts with it), or -1.
int matchAt(const String& entry, const String& typed, DWORD options) {
  if (entry.startsWith(typed, Qt::CaseInsensitive)) return 0;
  if (options & ACO_FILTERPREFIXES) {
    const String rest = withoutCommonPrefixes(entry);
    if (rest.startsWith(typed, Qt::CaseInsensitive)) return int(entry.size() - rest.size());
  }
  if (options & ACO_WORD_FILTER)
    for (int i = 1; i < entry.size(); ++i)
      if (!entry[i - 1].isLetterOrNumber() && entry[i].isLetterOrNumber() &&
          entry.mid(i).startsWith(typed, Qt::CaseInsensitive))
        return i;
  return -1;
}

// ---------------------------------------------------------------- the completion of one edit

class Completion : public QObject {
 public:
  Completion(QLineEdit* edit, HWND window, IUnknown* source)
      : QObject(edit), edit_(edit), window_(window), source_(source) {
    setObjectName(QLatin1String(kAttachmentName));
    model_ = new QStringListModel(this);
    completer_ = new QCompleter(model_, this);
    completer_->setObjectName(QLatin1String(kCompleterName));
    completer_->setWidget(edit);
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    QObject::connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
                     [this](const QString& text) {
                       if (edit_) edit_->setText(text);
                     });
    QObject::connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) { update(text); });
    edit->installEventFilter(this);
    // After the completer's own filter, so that this one sees the keys first.
    completer_->popup()->installEventFilter(this);
  }

  DWORD options = ACO_AUTOAPPEND;
  bool enabled = true;

  QCompleter* completer() const { return completer_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == completer_->popup() && event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && completer_->popup()->isVisible())
        return enterInList(key->key() == Qt::Key_Enter);
    }
    if (watched == edit_ && event->type() == QEvent::KeyPress && enabled &&
        (options & ACO_UPDOWNKEYDROPSLIST)) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Down && !completer_->popup()->isVisible()) {
        show(strings(edit_->text()), true);
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  // Enter with the suggestions open: the suggestion the user moved to (if
  // any) becomes the text, the list closes and the Enter still reaches the
  // edit field, so that one Enter completes and submits.
  bool enterInList(bool keypad) {
    QAbstractItemView* popup = completer_->popup();
    const QModelIndexList chosen = popup->selectionModel()->selectedIndexes();
    if (!chosen.isEmpty() && edit_) edit_->setText(chosen.first().data().toString());
    popup->hide();
    if (IsWindow(window_))
      SendMessage(window_, WM_KEYDOWN, VK_RETURN,
                  MakeKeyData(1, ScanCodeOfVirtualKey(VK_RETURN, keypad), keypad, false, false, false));
    return true;
  }

  // The source's strings, after telling an expanding source what was typed.
  QStringList strings(const String& typed) {
    QStringList out;
    if (auto list = ComPtr<IUnknown>(source_).As<IACList>()) {
      const int slash = typed.lastIndexOf(QLatin1Char('/'));
      const String root = slash >= 0 ? typed.left(slash + 1) : String();
      list->Expand(reinterpret_cast<LPCOLESTR>(root.utf16()));
    }
    ComPtr<IEnumString> e = ComPtr<IUnknown>(source_).As<IEnumString>();
    if (!e) return out;
    e->Reset();
    OwnedTaskMem<OLECHAR> s;
    ULONG fetched = 0;
    while (out.size() < kMaxStrings && e->Next(1, s.out(), &fetched) == S_OK && fetched == 1)
      out << OleStrToString(s.get());
    return out;
  }

  void show(const QStringList& entries, bool all) {
    QStringList shown;
    for (const String& e : entries)
      if (!shown.contains(e)) shown << e;
    model_->setStringList(shown);
    if (shown.isEmpty() || (!all && !(options & ACO_AUTOSUGGEST))) {
      completer_->popup()->hide();
      return;
    }
    completer_->setCompletionPrefix(String());
    completer_->complete();
  }

  void update(const String& typed) {
    const bool growing = typed.size() > lastTyped_.size() && typed.startsWith(lastTyped_);
    lastTyped_ = typed;
    if (!enabled || typed.isEmpty()) {
      completer_->popup()->hide();
      return;
    }
    QStringList matches;
    String appendix;
    for (const String& entry : strings(typed)) {
      const int at = (options & ACO_NOPREFIXFILTERING) ? 0 : matchAt(entry, typed, options);
      if (at < 0) continue;
      matches << entry;
      if (appendix.isEmpty() && at >= 0 && entry.mid(at).startsWith(typed, Qt::CaseInsensitive))
        appendix = entry.mid(at + typed.size());
    }
    show(matches, false);
    // The rest of the first match, selected, so typing on replaces it.
    if ((options & ACO_AUTOAPPEND) && growing && !appendix.isEmpty() && edit_) {
      edit_->setText(typed + appendix);
      edit_->setSelection(int(typed.size()), int(appendix.size()));
    }
  }

  QPointer<QLineEdit> edit_;
  HWND window_;
  ComPtr<IUnknown> source_;
  QStringListModel* model_;
  QCompleter* completer_;
  String lastTyped_;
};

class AutoCompleteObject final : public ComObject<IAutoComplete2> {
 public:
  HRESULT Init(HWND hwndEdit, IUnknown* punkACL, LPCOLESTR, LPCOLESTR) override {
    if (initialized_) return E_UNEXPECTED;
    QLineEdit* edit = editOf(hwndEdit);
    if (!edit || !punkACL) return E_INVALIDARG;
    // A new completion replaces the one the edit had.
    delete edit->findChild<QObject*>(QLatin1String(kAttachmentName), Qt::FindDirectChildrenOnly);
    completion_ = new Completion(edit, hwndEdit, punkACL);
    completion_->options = options_;
    completion_->enabled = enabled_;
    initialized_ = true;
    return S_OK;
  }
  HRESULT Enable(BOOL fEnable) override {
    enabled_ = fEnable;
    if (completion_) completion_->enabled = enabled_;
    return S_OK;
  }
  HRESULT SetOptions(DWORD dwFlag) override {
    options_ = dwFlag;
    if (completion_) completion_->options = options_;
    return S_OK;
  }
  HRESULT GetOptions(DWORD* pdwFlag) override {
    if (!pdwFlag) return E_POINTER;
    *pdwFlag = options_;
    return S_OK;
  }

 private:
  QPointer<Completion> completion_;
  DWORD options_ = ACO_AUTOAPPEND;
  bool enabled_ = true;
  bool initialized_ = false;
};

// ---------------------------------------------------------------- sources

// A string source that reads its strings when reset.
template <class... Extra>
class StringSource : public ComObject<IEnumString, Extra...> {
 public:
  HRESULT Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) override {
    if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
    if (!loaded_) Reset();
    ULONG fetched = 0;
    while (fetched < celt && position_ < std::size_t(strings_.size()))
      rgelt[fetched++] = CoTaskMemDupString(strings_[int(position_++)]);
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    if (!loaded_) Reset();
    const std::size_t left = std::size_t(strings_.size()) - position_;
    position_ += std::min<std::size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    strings_ = load();
    loaded_ = true;
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumString** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    return E_NOTIMPL;
  }

 protected:
  virtual QStringList load() = 0;

 private:
  QStringList strings_;
  std::size_t position_ = 0;
  bool loaded_ = false;
};

class HistorySource final : public StringSource<> {
  QStringList load() override {
    QStringList urls;
    for (const TUrlHistoryEntry& e : UrlHistoryStore().AllEntries()) urls << e.Url;
    return urls;
  }
};

// The addresses typed into the address box: "url1", "url2"... in order.
class TypedUrlSource final : public StringSource<> {
  QStringList load() override {
    QStringList urls;
    TRegistry reg(KEY_READ);
    reg.RootKey = HKEY_CURRENT_USER;
    if (!reg.OpenKeyReadOnly(QStringLiteral("Software\\Microsoft\\Internet Explorer\\TypedURLs")))
      return urls;
    for (int i = 1;; ++i) {
      const String name = QStringLiteral("url%1").arg(i);
      if (!reg.ValueExists(name)) break;
      const String url = reg.ReadString(name);
      if (!url.isEmpty()) urls << url;
    }
    return urls;
  }
};

// The items of the folder expanded last, as full paths (folders end in "/").
class FileSystemSource final : public StringSource<IACList2> {
 public:
  HRESULT Expand(LPCOLESTR pszExpand) override {
    folder_ = NormalizePath(OleStrToString(pszExpand));
    Reset();
    return S_OK;
  }
  HRESULT SetOptions(DWORD dwFlag) override {
    options_ = dwFlag;
    return S_OK;
  }
  HRESULT GetOptions(DWORD* pdwFlag) override {
    if (!pdwFlag) return E_POINTER;
    *pdwFlag = options_;
    return S_OK;
  }

 private:
  QStringList load() override {
    QStringList out;
    if (!folder_.startsWith(QLatin1Char('/'))) return out;
    const String base = IncludeTrailingPathDelimiter(folder_);
    QDir::Filters filter = QDir::Dirs | QDir::NoDotAndDotDot;
    if (!(options_ & ACLO_FILESYSDIRS)) filter |= QDir::Files;
    for (const QFileInfo& entry : QDir(base).entryInfoList(filter, QDir::Name | QDir::IgnoreCase))
      out << base + entry.fileName() + (entry.isDir() ? QStringLiteral("/") : String());
    return out;
  }

  String folder_;
  DWORD options_ = ACLO_NONE;
};

class MultiSource final : public ComObject<IEnumString, IObjMgr, IACList> {
 public:
  HRESULT Append(IUnknown* punk) override {
    if (!punk) return E_INVALIDARG;
    sources_.push_back(ComPtr<IUnknown>(punk));
    return S_OK;
  }
  HRESULT Remove(IUnknown* punk) override {
    for (auto it = sources_.begin(); it != sources_.end(); ++it)
      if (IsSameObject(it->Get(), punk)) {
        sources_.erase(it);
        return S_OK;
      }
    return E_FAIL;
  }
  HRESULT Expand(LPCOLESTR pszExpand) override {
    for (const ComPtr<IUnknown>& s : sources_)
      if (auto list = s.As<IACList>()) list->Expand(pszExpand);
    return S_OK;
  }
  HRESULT Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) override {
    if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < celt && current_ < sources_.size()) {
      ComPtr<IEnumString> e = sources_[current_].As<IEnumString>();
      ULONG got = 0;
      if (e) e->Next(1, &rgelt[fetched], &got);
      if (got == 1)
        ++fetched;
      else
        ++current_;
    }
    if (pceltFetched) *pceltFetched = fetched;
    return fetched == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    for (ULONG i = 0; i < celt; ++i) {
      LPOLESTR s = nullptr;
      ULONG got = 0;
      if (Next(1, &s, &got) != S_OK) return S_FALSE;
      CoTaskMemFree(s);
    }
    return S_OK;
  }
  HRESULT Reset() override {
    current_ = 0;
    for (const ComPtr<IUnknown>& s : sources_)
      if (auto e = s.As<IEnumString>()) e->Reset();
    return S_OK;
  }
  HRESULT Clone(IEnumString** ppenum) override {
    if (ppenum) *ppenum = nullptr;
    return E_NOTIMPL;
  }

 private:
  std::vector<ComPtr<IUnknown>> sources_;
  std::size_t current_ = 0;
};

template <class T>
HRESULT create(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return MakeCom<T>()->QueryInterface(riid, ppv);
}

}  // namespace

namespace shelldetail {

void RegisterAutoCompleteClasses() {
  RegisterClassFactory(CLSID_AutoComplete, &create<AutoCompleteObject>);
  RegisterClassFactory(CLSID_ACLHistory, &create<HistorySource>);
  RegisterClassFactory(CLSID_ACLMRU, &create<TypedUrlSource>);
  RegisterClassFactory(CLSID_ACListISF, &create<FileSystemSource>);
  RegisterClassFactory(CLSID_ACLMulti, &create<MultiSource>);
}

}  // namespace shelldetail

HRESULT SHAutoComplete(HWND hwndEdit, DWORD dwFlags) {
  if (!editOf(hwndEdit)) return E_INVALIDARG;
  DWORD sources = dwFlags & (SHACF_FILESYSTEM | SHACF_URLALL | SHACF_FILESYS_ONLY | SHACF_FILESYS_DIRS);
  if (!sources) sources = SHACF_FILESYSTEM | SHACF_URLALL;
  ComPtr<MultiSource> multi = MakeCom<MultiSource>();
  if (sources & SHACF_URLHISTORY) multi->Append(MakeCom<HistorySource>()->GetUnknown());
  if (sources & SHACF_URLMRU) multi->Append(MakeCom<TypedUrlSource>()->GetUnknown());
  if (sources & (SHACF_FILESYSTEM | SHACF_FILESYS_ONLY | SHACF_FILESYS_DIRS)) {
    ComPtr<FileSystemSource> files = MakeCom<FileSystemSource>();
    if (sources & SHACF_FILESYS_DIRS) files->SetOptions(ACLO_FILESYSDIRS);
    multi->Append(files->GetUnknown());
  }
  DWORD options = ACO_FILTERPREFIXES;
  if (!(dwFlags & SHACF_AUTOSUGGEST_FORCE_OFF)) options |= ACO_AUTOSUGGEST;
  if (dwFlags & SHACF_AUTOAPPEND_FORCE_ON) options |= ACO_AUTOAPPEND;
  if (dwFlags & SHACF_USETAB) options |= ACO_USETAB;
  ComPtr<AutoCompleteObject> object = MakeCom<AutoCompleteObject>();
  object->SetOptions(options);
  return object->Init(hwndEdit, multi->GetUnknown(), nullptr, nullptr);
}
