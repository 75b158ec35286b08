// Files dropped onto windows that accept them, as WM_DROPFILES.
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <map>
#include <mutex>
#include <set>

#include "platform/shell/ShellApi.h"

struct HDROP__ {
  QStringList files;
  POINT point;
  bool inClient;
};

namespace {

std::set<HDROP>& liveDrops() {
  static std::set<HDROP> drops;
  return drops;
}

QStringList localFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  return files;
}

// Takes the drags of files on a window's widget and hands their drop to the
// window.
class FileDropFilter final : public QObject {
 public:
  FileDropFilter(HWND hwnd, QWidget* widget) : QObject(widget), hwnd_(hwnd), widget_(widget) {
    accepted_ = widget->acceptDrops();
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
    // A text edit takes drags on its viewport.
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      child->installEventFilter(this);
      child->setAcceptDrops(true);
    }
  }
  ~FileDropFilter() override {
    if (widget_) widget_->setAcceptDrops(accepted_);
  }
  HWND Window() const { return hwnd_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* d = static_cast<QDropEvent*>(e);
        if (localFiles(d->mimeData()).isEmpty()) return false;
        d->setDropAction(Qt::CopyAction);
        d->accept();
        return true;
      }
      case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(e);
        const QStringList files = localFiles(d->mimeData());
        if (files.isEmpty() || !IsWindow(hwnd_)) return false;
        d->setDropAction(Qt::CopyAction);
        d->accept();
        QPoint p = d->position().toPoint();
        if (widget_ && watched != widget_) p = static_cast<QWidget*>(watched)->mapTo(widget_, p);
        auto* drop = new HDROP__{files, POINT{p.x(), p.y()}, widget_ && widget_->rect().contains(p)};
        liveDrops().insert(drop);
        SendMessageW(hwnd_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        return true;
      }
      default: return false;
    }
  }

 private:
  HWND hwnd_;
  QPointer<QWidget> widget_;
  bool accepted_ = false;
};

std::map<HWND, QPointer<FileDropFilter>>& filters() {
  static std::map<HWND, QPointer<FileDropFilter>> map;
  return map;
}

}  // namespace

void DragAcceptFiles(HWND hwnd, BOOL accept) {
  for (auto it = filters().begin(); it != filters().end();)
    it = it->second && IsWindow(it->first) ? std::next(it) : filters().erase(it);
  QWidget* widget = IsWindow(hwnd) ? WidgetOf(hwnd) : nullptr;
  if (!widget) return;
  auto it = filters().find(hwnd);
  const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  if (accept) {
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex | WS_EX_ACCEPTFILES);
    if (it != filters().end() && it->second && it->second->parent() == widget) return;
    if (it != filters().end()) delete it->second.data();
    filters()[hwnd] = new FileDropFilter(hwnd, widget);
  } else {
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_ACCEPTFILES));
    if (it != filters().end()) {
      delete it->second.data();
      filters().erase(it);
    }
  }
}

UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch) {
  if (!liveDrops().count(hDrop)) return 0;
  if (iFile == 0xFFFFFFFFu) return UINT(hDrop->files.size());
  if (iFile >= UINT(hDrop->files.size())) return 0;
  const QString& name = hDrop->files[int(iFile)];
  if (!lpszFile) return UINT(name.size());
  if (cch == 0) return 0;
  const UINT n = std::min<UINT>(UINT(name.size()), cch - 1);
  std::copy_n(reinterpret_cast<const char16_t*>(name.utf16()), n, lpszFile);
  lpszFile[n] = 0;
  return n;
}

BOOL DragQueryPoint(HDROP hDrop, POINT* ppt) {
  if (!liveDrops().count(hDrop) || !ppt) return FALSE;
  *ppt = hDrop->point;
  return hDrop->inClient;
}

void DragFinish(HDROP hDrop) {
  if (liveDrops().erase(hDrop)) delete hDrop;
}

int PendingDropHandles() { return int(liveDrops().size()); }
