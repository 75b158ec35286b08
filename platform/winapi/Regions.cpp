// Regions, window regions as widget masks, and focus rectangles on the screen.
#include "platform/winapi/Windows.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct HRGN__ {
  QRegion region;
  HWND window = nullptr;  // the window that owns it, if any
};

namespace {

// Every live region, and the region of each window that has one.
struct Regions {
  std::mutex mutex;
  std::unordered_set<HRGN> live;
  std::unordered_map<HWND, HRGN> ofWindow;
  // Regions of windows still there at exit (they are swept only by the next
  // SetWindowRgn) and any the program never deleted go with the process.
  ~Regions() {
    for (HRGN r : live) delete r;
  }
};

Regions& regions() {
  static Regions r;
  return r;
}

// The region behind a handle; the caller holds the mutex.
HRGN__* lookup(HRGN rgn) { return rgn && regions().live.count(rgn) ? rgn : nullptr; }

HRGN add(QRegion region) {
  auto* r = new HRGN__{std::move(region)};
  std::lock_guard lock(regions().mutex);
  regions().live.insert(r);
  return r;
}

void release(HRGN rgn) {
  regions().live.erase(rgn);
  delete rgn;
}

int kindOf(const QRegion& region) {
  if (region.isEmpty()) return NULLREGION;
  return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Frees the regions of windows that are gone; the caller holds the mutex.
void sweepWindows() {
  auto& map = regions().ofWindow;
  for (auto it = map.begin(); it != map.end();) {
    if (IsWindow(it->first)) {
      ++it;
      continue;
    }
    release(it->second);
    it = map.erase(it);
  }
}

// The screen's device context: a painter that never paints, standing for the
// screen by its address.
HDC screenDC() {
  static QPainter screen;
  return &screen;
}

// A focus rectangle on the screen: a frameless window over the rectangle,
// masked to its one-pixel border so that what lies inside stays in view
// without a compositor, dotted in dark and light so it shows on any
// background. It takes neither the mouse nor the focus.
class FocusBand : public QWidget {
 public:
  explicit FocusBand(const QRect& r)
      : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setObjectName(QStringLiteral("FocusRect"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(r);
  }

 protected:
  void resizeEvent(QResizeEvent*) override {
    setMask(QRegion(rect()).subtracted(QRegion(rect().adjusted(1, 1, -1, -1))));
  }
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.fillRect(e->rect(), Qt::black);
    p.fillRect(e->rect(), QBrush(Qt::white, Qt::Dense4Pattern));
  }
};

// The focus rectangles now on the screen, each shown by a band window.
struct FocusRect {
  RECT rect;
  QPointer<QWidget> band;
};
std::vector<FocusRect>& focusRects() {
  static std::vector<FocusRect> rects;
  return rects;
}

}  // namespace

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (!points || count < 3 || (fillMode != ALTERNATE && fillMode != WINDING)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  QPolygon polygon;
  polygon.reserve(count);
  for (int i = 0; i < count; ++i) polygon << QPoint(points[i].x, points[i].y);
  return add(QRegion(polygon, fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // The corners may come in any order.
  const QRect r = QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                        QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
  return add(left == right || top == bottom ? QRegion() : QRegion(r));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  std::lock_guard lock(regions().mutex);
  HRGN__* d = lookup(dest);
  HRGN__* a = lookup(src1);
  HRGN__* b = mode == RGN_COPY ? a : lookup(src2);
  if (!d || !a || !b) return RGN_ERROR;
  switch (mode) {
    case RGN_AND: d->region = a->region.intersected(b->region); break;
    case RGN_OR: d->region = a->region.united(b->region); break;
    case RGN_XOR: d->region = a->region.xored(b->region); break;
    case RGN_DIFF: d->region = a->region.subtracted(b->region); break;
    case RGN_COPY: d->region = a->region; break;
    default: return RGN_ERROR;
  }
  return kindOf(d->region);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  std::lock_guard lock(regions().mutex);
  HRGN__* r = lookup(rgn);
  return r && r->region.contains(QPoint(x, y));
}

int GetRgnBox(HRGN rgn, RECT* rect) {
  std::lock_guard lock(regions().mutex);
  HRGN__* r = lookup(rgn);
  if (!r || !rect) return RGN_ERROR;
  const QRect box = r->region.boundingRect();
  *rect = r->region.isEmpty()
              ? RECT{}
              : RECT{box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};
  return kindOf(r->region);
}

BOOL DeleteObject(HGDIOBJ object) {
  {
    std::lock_guard lock(regions().mutex);
    HRGN__* r = lookup(static_cast<HRGN>(object));
    if (r) {
      if (r->window) return FALSE;
      release(r);
      return TRUE;
    }
  }
  return DeleteFont(static_cast<HFONT>(object));
}

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  QRegion mask;
  {
    std::lock_guard lock(regions().mutex);
    HRGN__* r = lookup(rgn);
    if (rgn && (!r || (r->window && r->window != hwnd))) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    sweepWindows();
    auto& map = regions().ofWindow;
    auto it = map.find(hwnd);
    if (it != map.end() && it->second != r) {
      release(it->second);
      map.erase(it);
    }
    if (r) {
      r->window = hwnd;
      map[hwnd] = r;
      mask = r->region;
    }
  }
  if (QWidget* widget = WidgetOf(hwnd)) {
    if (rgn)
      widget->setMask(mask);
    else
      widget->clearMask();
    if (redraw) widget->update();
  }
  return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
  std::lock_guard lock(regions().mutex);
  HRGN__* r = lookup(rgn);
  auto it = regions().ofWindow.find(hwnd);
  if (!r || !IsWindow(hwnd) || it == regions().ofWindow.end()) return RGN_ERROR;
  r->region = it->second->region;
  return kindOf(r->region);
}

HDC GetDC(HWND hwnd) {
  if (hwnd && hwnd != GetDesktopWindow()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return screenDC();
}

int ReleaseDC(HWND, HDC dc) { return dc == screenDC() ? 1 : 0; }

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  if (dc != screenDC() || !rect) return FALSE;
  auto& rects = focusRects();
  for (auto it = rects.begin(); it != rects.end(); ++it) {
    if (it->rect != *rect) continue;
    // Inverting the same pixels again restores them.
    delete it->band.data();
    rects.erase(it);
    return TRUE;
  }
  FocusRect drawn{*rect, nullptr};
  if (rect->right > rect->left && rect->bottom > rect->top) {
    drawn.band =
        new FocusBand(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top));
    drawn.band->show();
  }
  rects.push_back(drawn);
  return TRUE;
}
