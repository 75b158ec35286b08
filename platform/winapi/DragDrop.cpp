// Drop targets of windows over Qt's drag events, and data objects over drag data.
#include "platform/winapi/DragDrop.h"

#include "platform/com/ComObject.h"
#include "platform/com/SnapshotEnum.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <map>
#include <vector>

namespace {

constexpr CLIPFORMAT kText = 1;
constexpr CLIPFORMAT kUnicodeText = 13;

// ---------------------------------------------------------------- clipboard formats

std::vector<String>& formatNames() {
  static auto* names = new std::vector<String>;
  return *names;
}

QByteArray wideBlock(const String& text) {
  QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  bytes.append(2, '\0');
  return bytes;
}

QByteArray narrowBlock(const String& text) {
  QByteArray bytes = text.toLocal8Bit();
  bytes.append('\0');
  return bytes;
}

// ---------------------------------------------------------------- data objects

bool copyFormat(const FORMATETC& format, FORMATETC& out) {
  out = format;
  return true;
}

using FormatEnumerator = SnapshotEnum<IEnumFORMATETC, FORMATETC, FORMATETC, copyFormat>;

class MimeDataObject final : public ComObject<IDataObject> {
 public:
  explicit MimeDataObject(const QMimeData* data) {
    if (!data) return;
    // Qt offers addresses alone as text too, one per line.
    const String text = data->hasText() ? data->text() : String();
    const String url =
        data->hasUrls() && !data->urls().isEmpty() ? data->urls().first().toString() : String();
    if (!text.isEmpty()) {
      blocks_.push_back({kUnicodeText, wideBlock(text)});
      blocks_.push_back({kText, narrowBlock(text)});
    }
    if (!url.isEmpty()) {
      blocks_.push_back(
          {CLIPFORMAT(RegisterClipboardFormat(QStringLiteral("UniformResourceLocatorW"))), wideBlock(url)});
      blocks_.push_back(
          {CLIPFORMAT(RegisterClipboardFormat(QStringLiteral("UniformResourceLocator"))), narrowBlock(url)});
    }
  }

  HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!format || !medium) return E_INVALIDARG;
    const Block* block = nullptr;
    const HRESULT hr = find(format, &block);
    if (FAILED(hr)) return hr;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = const_cast<char*>(block->bytes.constData());
    medium->pUnkForRelease = GetUnknown();
    AddRef();
    return S_OK;
  }
  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(FORMATETC* format) override {
    if (!format) return E_INVALIDARG;
    const Block* block = nullptr;
    return find(format, &block);
  }
  HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
    if (!in || !out) return E_INVALIDARG;
    *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> formats;
    for (const Block& b : blocks_)
      formats.push_back({b.format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    *ppenum = MakeCom<FormatEnumerator>(std::move(formats)).Detach();
    return S_OK;
  }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  struct Block {
    CLIPFORMAT format;
    QByteArray bytes;  // never changed, so handed-out addresses stay valid
  };

  HRESULT find(const FORMATETC* format, const Block** block) const {
    for (const Block& b : blocks_) {
      if (b.format != format->cfFormat) continue;
      if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
      *block = &b;
      return S_OK;
    }
    return DV_E_FORMATETC;
  }

  std::vector<Block> blocks_;
};

// ---------------------------------------------------------------- drop targets

DWORD effectsOf(Qt::DropActions actions) {
  DWORD effects = DROPEFFECT_NONE;
  if (actions & Qt::CopyAction) effects |= DROPEFFECT_COPY;
  if (actions & Qt::MoveAction) effects |= DROPEFFECT_MOVE;
  if (actions & Qt::LinkAction) effects |= DROPEFFECT_LINK;
  return effects;
}

DWORD keyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  DWORD keys = 0;
  if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
  if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
  if (modifiers & Qt::AltModifier) keys |= MK_ALT;
  return keys;
}

// Accepts the event with the action the target's effect allows, or refuses it.
void answerDrag(QDropEvent* event, HRESULT hr, DWORD effect) {
  const Qt::DropActions allowed = event->possibleActions();
  Qt::DropActions granted;
  if (SUCCEEDED(hr)) {
    if (effect & DROPEFFECT_COPY) granted |= Qt::CopyAction;
    if (effect & DROPEFFECT_MOVE) granted |= Qt::MoveAction;
    if (effect & DROPEFFECT_LINK) granted |= Qt::LinkAction;
    granted &= allowed;
  }
  if (!granted) {
    // Taken with no action: an ignored event would travel on to the parent
    // widgets, which might take it.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    return;
  }
  Qt::DropAction action = event->proposedAction();
  if (!(granted & action))
    action = (granted & Qt::CopyAction)   ? Qt::CopyAction
             : (granted & Qt::MoveAction) ? Qt::MoveAction
                                          : Qt::LinkAction;
  event->setDropAction(action);
  event->accept();
}

// Turns the drag events of a window's widget into calls of its drop target.
class DropFilter final : public QObject {
 public:
  DropFilter(HWND hwnd, QWidget* widget, IDropTarget* target)
      : QObject(widget),
        hwnd_(hwnd),
        widget_(widget),
        target_(target),
        acceptedDrops_(widget->acceptDrops()) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
  }
  ~DropFilter() override {
    if (widget_) {
      widget_->removeEventFilter(this);
      widget_->setAcceptDrops(acceptedDrops_);
    }
  }
  IDropTarget* Target() const { return target_.Get(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != widget_) return false;
    switch (e->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop: break;
      case QEvent::DragLeave: {
        if (!IsWindow(hwnd_) || WidgetOf(hwnd_) != widget_) return false;
        ComPtr<IDropTarget> target = target_;
        data_.Reset();
        target->DragLeave();
        return true;
      }
      default: return false;
    }
    if (!IsWindow(hwnd_) || WidgetOf(hwnd_) != widget_) {
      // The window went without revoking: the widget is its own again.
      deleteLater();
      return false;
    }
    auto* event = static_cast<QDropEvent*>(e);
    const QPoint global = widget_->mapToGlobal(event->position().toPoint());
    const POINTL point{global.x(), global.y()};
    const DWORD keys = keyStateOf(event->buttons(), event->modifiers());
    DWORD effect = effectsOf(event->possibleActions());
    ComPtr<IDropTarget> target = target_;  // the call may revoke the registration
    HRESULT hr = E_FAIL;
    if (e->type() == QEvent::DragEnter) {
      data_ = CreateDataObject(event->mimeData());
      hr = target->DragEnter(data_.Get(), keys, point, &effect);
    } else if (e->type() == QEvent::DragMove) {
      hr = target->DragOver(keys, point, &effect);
    } else {
      ComPtr<IDataObject> data = CreateDataObject(event->mimeData());
      data_.Reset();
      hr = target->Drop(data.Get(), keys, point, &effect);
    }
    answerDrag(event, hr, effect);
    return true;
  }

 private:
  HWND hwnd_;
  QPointer<QWidget> widget_;
  ComPtr<IDropTarget> target_;
  ComPtr<IDataObject> data_;  // of the drag in progress
  bool acceptedDrops_;
};

std::map<HWND, QPointer<DropFilter>>& registrations() {
  static auto* map = new std::map<HWND, QPointer<DropFilter>>;
  return *map;
}

// Registrations of windows that are gone (or whose widget went) are dropped.
void dropStale() {
  auto& map = registrations();
  for (auto it = map.begin(); it != map.end();) {
    if (it->second && IsWindow(it->first)) {
      ++it;
      continue;
    }
    delete it->second.data();
    it = map.erase(it);
  }
}

}  // namespace

HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target) {
  if (!target) return E_INVALIDARG;
  dropStale();
  QWidget* widget = IsWindow(hwnd) ? WidgetOf(hwnd) : nullptr;
  if (!widget) return DRAGDROP_E_INVALIDHWND;
  if (registrations().count(hwnd)) return DRAGDROP_E_ALREADYREGISTERED;
  registrations()[hwnd] = new DropFilter(hwnd, widget, target);
  return S_OK;
}

HRESULT RevokeDragDrop(HWND hwnd) {
  dropStale();
  auto it = registrations().find(hwnd);
  if (it == registrations().end()) return DRAGDROP_E_NOTREGISTERED;
  DropFilter* filter = it->second;
  registrations().erase(it);
  delete filter;
  return S_OK;
}

ComPtr<IDropTarget> RegisteredDropTarget(HWND hwnd) {
  dropStale();
  auto it = registrations().find(hwnd);
  return it != registrations().end() ? ComPtr<IDropTarget>(it->second->Target()) : nullptr;
}

UINT RegisterClipboardFormatW(LPCWSTR name) {
  return RegisterClipboardFormat(name ? String::fromUtf16(name) : String());
}

UINT RegisterClipboardFormat(const String& name) {
  if (name.isEmpty()) return 0;
  auto& names = formatNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i].compare(name, Qt::CaseInsensitive) == 0) return UINT(0xC000 + i);
  names.push_back(name);
  return UINT(0xC000 + names.size() - 1);
}

ComPtr<IDataObject> CreateDataObject(const QMimeData* data) {
  ComPtr<IDataObject> object = MakeCom<MimeDataObject>(data);
  return object;
}
