#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace skingen {
namespace {

// Drawing helpers in the glyph's own 0..100 coordinates.
class Pen {
 public:
  Pen(QPainter& p, const Ink& ink) : p_(p), ink_(ink) {}

  void stroke(const QPainterPath& path, double width, bool back = false) {
    p_.strokePath(path,
                  QPen(back ? ink_.back : ink_.fore, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
  void fill(const QPainterPath& path, bool back = false) { p_.fillPath(path, back ? ink_.back : ink_.fore); }
  void line(double x1, double y1, double x2, double y2, double width, bool back = false) {
    QPainterPath path({x1, y1});
    path.lineTo(x2, y2);
    stroke(path, width, back);
  }
  void polyline(std::initializer_list<QPointF> points, double width, bool back = false) {
    stroke(open(points), width, back);
  }
  void polygon(std::initializer_list<QPointF> points, bool back = false) {
    QPainterPath path = open(points);
    path.closeSubpath();
    fill(path, back);
  }
  void disc(double cx, double cy, double r, bool back = false) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    fill(path, back);
  }
  void ring(double cx, double cy, double r, double width, bool back = false) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    stroke(path, width, back);
  }
  void box(const QRectF& r, double radius, double width = 0, bool back = false) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    if (width > 0)
      stroke(path, width, back);
    else
      fill(path, back);
  }

  // A clockwise circular arrow around (cx, cy), its gap at the top.
  void circularArrow(double cx, double cy, double r, double width, bool back = false) {
    const QRectF rect(cx - r, cy - r, 2 * r, 2 * r);
    QPainterPath arc;
    arc.arcMoveTo(rect, 70);
    arc.arcTo(rect, 70, -270);
    stroke(arc, width, back);
    // Head at the end of the arc (at 160 degrees), pointing along the travel.
    const double a = 160 * std::numbers::pi / 180;
    const QPointF end(cx + r * std::cos(a), cy - r * std::sin(a));
    const QPointF d(std::sin(a), std::cos(a));  // direction of travel, clockwise
    const QPointF n(-d.y(), d.x());
    const double s = width * 1.9;
    QPainterPath head(end + d * s * 1.2);
    head.lineTo(end - d * s * 0.2 + n * s);
    head.lineTo(end - d * s * 0.2 - n * s);
    head.closeSubpath();
    fill(head, back);
  }

  // A round badge in the lower right corner, cut out of what lies under it.
  void badge(double cx = 74, double cy = 74, double r = 22) {
    disc(cx, cy, r + 6, true);
    disc(cx, cy, r);
  }

  static QPainterPath document(double x, double y, double w, double h) {
    const double fold = w * 0.3;
    QPainterPath path({x, y});
    path.lineTo(x + w - fold, y);
    path.lineTo(x + w, y + fold);
    path.lineTo(x + w, y + h);
    path.lineTo(x, y + h);
    path.closeSubpath();
    return path;
  }
  // A filled page with a folded corner and a few lines of text.
  void page(double x, double y, double w, double h, int lines) {
    fill(document(x, y, w, h));
    const double fold = w * 0.3;
    polyline({{x + w - fold, y}, {x + w - fold, y + fold}, {x + w, y + fold}}, 4, true);
    for (int i = 0; i < lines; ++i) {
      const double ly = y + fold + 10 + i * 12;
      line(x + 10, ly, x + w - 10 - (i % 2) * 10, ly, 5, true);
    }
  }

  void star(double cx, double cy, double outer, double inner) {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
      const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
      const double r = (i % 2) ? inner : outer;
      const QPointF pt(cx + r * std::cos(a), cy + r * std::sin(a));
      if (i == 0)
        path.moveTo(pt);
      else
        path.lineTo(pt);
    }
    path.closeSubpath();
    fill(path);
  }

  void envelope(const QRectF& r) {
    box(r, 6);
    polyline({{r.left() + 3, r.top() + 4},
              {r.center().x(), r.top() + r.height() * 0.58},
              {r.right() - 3, r.top() + 4}},
             6, true);
  }

  void globe(double cx, double cy, double r, double width, bool back = false) {
    ring(cx, cy, r, width, back);
    QPainterPath meridian;
    meridian.addEllipse(QPointF(cx, cy), r * 0.42, r);
    stroke(meridian, width * 0.75, back);
    line(cx - r, cy, cx + r, cy, width * 0.75, back);
    const double h = r * 0.55, half = std::sqrt(r * r - h * h);
    line(cx - half, cy - h, cx + half, cy - h, width * 0.6, back);
    line(cx - half, cy + h, cx + half, cy + h, width * 0.6, back);
  }

 private:
  static QPainterPath open(std::initializer_list<QPointF> points) {
    QPainterPath path(*points.begin());
    for (auto it = points.begin() + 1; it != points.end(); ++it) path.lineTo(*it);
    return path;
  }

  QPainter& p_;
  Ink ink_;
};

void draw(Pen& g, Glyph glyph) {
  switch (glyph) {
    case Glyph::Frame:
    case Glyph::SizeGrip: break;

    case Glyph::Close:
      g.line(26, 26, 74, 74, 13);
      g.line(74, 26, 26, 74, 13);
      break;
    case Glyph::Minimize: g.line(24, 68, 76, 68, 13); break;
    case Glyph::Back:
      g.polyline({{48, 20}, {20, 50}, {48, 80}}, 12);
      g.line(22, 50, 80, 50, 12);
      break;
    case Glyph::Forward:
      g.polyline({{52, 20}, {80, 50}, {52, 80}}, 12);
      g.line(20, 50, 78, 50, 12);
      break;
    case Glyph::Refresh: g.circularArrow(50, 52, 30, 10); break;
    case Glyph::Stop: g.box({24, 24, 52, 52}, 7); break;
    case Glyph::Print:
      g.box({30, 12, 40, 30}, 2, 7);
      g.box({12, 36, 76, 34}, 7);
      g.box({28, 56, 44, 32}, 2, 0, true);
      g.box({28, 56, 44, 32}, 2, 6);
      g.line(37, 70, 63, 70, 5);
      g.line(37, 79, 55, 79, 5);
      g.disc(77, 45, 4, true);
      break;
    case Glyph::SidePanel:
      g.box({12, 18, 76, 64}, 7, 7);
      g.box({56, 18, 32, 64}, 4);
      g.line(22, 36, 44, 36, 6);
      g.line(22, 50, 44, 50, 6);
      g.line(22, 64, 38, 64, 6);
      break;
    case Glyph::Home:
      g.polygon({{22, 46}, {50, 22}, {78, 46}, {78, 88}, {22, 88}});
      g.box({42, 60, 16, 28}, 2, 0, true);
      g.polyline({{8, 50}, {50, 12}, {92, 50}}, 10);
      break;
    case Glyph::Find:
      g.ring(42, 42, 24, 10);
      g.line(60, 60, 84, 84, 15);
      break;
    case Glyph::Globe: g.globe(50, 50, 38, 7); break;
    case Glyph::GoArrow:
      g.disc(50, 50, 42);
      g.line(28, 50, 66, 50, 10, true);
      g.polyline({{52, 32}, {70, 50}, {52, 68}}, 10, true);
      break;
    case Glyph::Restore:
      g.box({34, 12, 54, 44}, 5, 7);
      g.box({12, 38, 56, 50}, 5);
      g.box({20, 52, 40, 28}, 2, 0, true);
      break;
    case Glyph::LockClosed: {
      QPainterPath shackle({32, 50});
      shackle.lineTo(32, 34);
      shackle.arcTo(QRectF(32, 16, 36, 36), 180, -180);
      shackle.lineTo(68, 50);
      g.stroke(shackle, 10);
      g.box({18, 44, 64, 46}, 8);
      g.disc(50, 61, 7, true);
      g.box({46.5, 62, 7, 16}, 2, 0, true);
      break;
    }
    case Glyph::LockOpen: {
      QPainterPath shackle({56, 48});
      shackle.lineTo(56, 30);
      shackle.arcTo(QRectF(56, 12, 34, 34), 180, -180);
      shackle.lineTo(90, 38);
      g.stroke(shackle, 10);
      g.box({8, 44, 64, 46}, 8);
      g.disc(40, 61, 7, true);
      g.box({36.5, 62, 7, 16}, 2, 0, true);
      break;
    }
    case Glyph::Tick: g.polyline({{16, 54}, {40, 78}, {84, 24}}, 14); break;
    case Glyph::Leaf: {
      QPainterPath leaf({18, 84});
      leaf.cubicTo(12, 40, 46, 14, 88, 12);
      leaf.cubicTo(88, 58, 60, 88, 18, 84);
      g.fill(leaf);
      QPainterPath vein({24, 78});
      vein.quadTo(46, 52, 76, 26);
      g.stroke(vein, 5, true);
      g.line(20, 82, 8, 94, 7);
      break;
    }

    case Glyph::StarPlus:
      g.star(42, 46, 40, 17);
      g.badge();
      g.line(62, 74, 86, 74, 7, true);
      g.line(74, 62, 74, 86, 7, true);
      break;
    case Glyph::StarMinus:
      g.star(42, 46, 40, 17);
      g.badge();
      g.line(62, 74, 86, 74, 7, true);
      break;
    case Glyph::Export:
      g.polyline({{32, 44}, {14, 44}, {14, 88}, {86, 88}, {86, 44}, {68, 44}}, 8);
      g.line(50, 70, 50, 12, 9);
      g.polyline({{30, 32}, {50, 12}, {70, 32}}, 9);
      break;
    case Glyph::ClearHistory:
      g.ring(42, 44, 32, 8);
      g.polyline({{42, 24}, {42, 44}, {56, 52}}, 7);
      g.badge();
      g.line(65, 65, 83, 83, 7, true);
      g.line(83, 65, 65, 83, 7, true);
      break;
    case Glyph::Mail: g.envelope({10, 22, 80, 56}); break;
    case Glyph::MailOne:
    case Glyph::MailTwo:
    case Glyph::MailThree: {
      g.envelope({6, 14, 72, 50});
      g.badge(74, 74, 22);
      // One, two or three dots tell the three services apart.
      const int n = glyph == Glyph::MailOne ? 1 : glyph == Glyph::MailTwo ? 2 : 3;
      if (n == 1) g.disc(74, 74, 6, true);
      if (n == 2) {
        g.disc(65, 74, 5.5, true);
        g.disc(83, 74, 5.5, true);
      }
      if (n == 3) {
        g.disc(74, 64, 5, true);
        g.disc(65, 80, 5, true);
        g.disc(83, 80, 5, true);
      }
      break;
    }
    case Glyph::MailPage:
      // A letter half out of its envelope.
      g.box({24, 6, 52, 56}, 3);
      g.line(33, 18, 67, 18, 6, true);
      g.line(33, 30, 59, 30, 6, true);
      g.box({4, 38, 92, 58}, 8, 0, true);
      g.envelope({8, 42, 84, 50});
      break;
    case Glyph::MailLink:
      g.box({12, 4, 42, 24}, 12, 8);
      g.box({44, 14, 42, 24}, 12, 8);
      g.box({4, 38, 92, 58}, 8, 0, true);
      g.envelope({8, 42, 84, 50});
      break;

    case Glyph::SearchPortal:
      g.globe(42, 42, 34, 7);
      g.badge(74, 74, 22);
      g.ring(71, 71, 8, 5, true);
      g.line(77, 77, 85, 85, 6, true);
      break;
    case Glyph::Tiles:
      g.box({14, 14, 32, 32}, 6);
      g.box({54, 14, 32, 32}, 6, 7);
      g.box({14, 54, 32, 32}, 6, 7);
      g.box({54, 54, 32, 32}, 6);
      break;
    case Glyph::Video:
      g.box({8, 16, 84, 60}, 9);
      g.polygon({{40, 32}, {40, 62}, {64, 47}}, true);
      g.line(34, 88, 66, 88, 7);
      break;
    case Glyph::Photos:
      g.box({28, 10, 62, 50}, 4, 6);
      g.box({10, 30, 64, 56}, 4);
      g.polygon({{16, 80}, {34, 54}, {46, 68}, {56, 58}, {68, 80}}, true);
      g.disc(58, 44, 6, true);
      break;
    case Glyph::Rss: {
      g.disc(24, 76, 9);
      for (double r : {32.0, 56.0}) {
        const QRectF rect(20 - r, 80 - r, 2 * r, 2 * r);
        QPainterPath arc;
        arc.arcMoveTo(rect, 0);
        arc.arcTo(rect, 0, 90);
        g.stroke(arc, 11);
      }
      break;
    }
    case Glyph::People: {
      g.disc(66, 28, 12);
      QPainterPath back({46, 74});
      back.cubicTo(46, 48, 88, 44, 90, 74);
      back.closeSubpath();
      g.fill(back);
      QPainterPath front({10, 90});
      front.cubicTo(10, 56, 66, 56, 66, 90);
      front.closeSubpath();
      g.stroke(front, 8, true);
      g.fill(front);
      g.disc(38, 38, 20, true);
      g.disc(38, 38, 15);
      break;
    }
    case Glyph::Network:
      g.line(50, 54, 50, 18, 6);
      g.line(50, 54, 18, 76, 6);
      g.line(50, 54, 82, 76, 6);
      g.line(18, 76, 82, 76, 5);
      g.disc(50, 18, 12);
      g.disc(18, 76, 12);
      g.disc(82, 76, 12);
      g.disc(50, 54, 9);
      break;
    case Glyph::Bubble:
      g.box({8, 12, 84, 56}, 16);
      g.polygon({{24, 62}, {18, 90}, {48, 64}});
      g.line(24, 32, 76, 32, 6, true);
      g.line(24, 48, 60, 48, 6, true);
      break;
    case Glyph::Compass: {
      g.ring(50, 50, 40, 8);
      g.polygon({{74, 26}, {58, 58}, {42, 42}});
      QPainterPath south({26, 74});
      south.lineTo(58, 58);
      south.lineTo(42, 42);
      south.closeSubpath();
      g.stroke(south, 5);
      g.disc(50, 50, 4, true);
      break;
    }
    case Glyph::Pen: {
      QPainterPath nib({50, 92});
      nib.lineTo(24, 52);
      nib.quadTo(24, 30, 36, 18);
      nib.lineTo(64, 18);
      nib.quadTo(76, 30, 76, 52);
      nib.closeSubpath();
      g.fill(nib);
      g.box({34, 6, 32, 9}, 2);
      g.line(50, 90, 50, 56, 4, true);
      g.disc(50, 50, 6, true);
      break;
    }
    case Glyph::Book: {
      QPainterPath left({47, 26});
      left.cubicTo(36, 16, 20, 16, 8, 22);
      left.lineTo(8, 80);
      left.cubicTo(20, 74, 36, 76, 47, 86);
      left.closeSubpath();
      QPainterPath right({53, 26});
      right.cubicTo(64, 16, 80, 16, 92, 22);
      right.lineTo(92, 80);
      right.cubicTo(80, 74, 64, 76, 53, 86);
      right.closeSubpath();
      g.fill(left);
      g.fill(right);
      for (double y : {38.0, 50.0, 62.0}) {
        g.line(16, y, 38, y + 1, 4, true);
        g.line(62, y + 1, 84, y, 4, true);
      }
      break;
    }

    case Glyph::ParsePage:
      g.page(10, 6, 56, 76, 4);
      g.disc(66, 66, 24, true);
      g.ring(66, 66, 15, 7);
      g.line(77, 77, 90, 90, 10);
      break;
    case Glyph::Broom: {
      g.line(86, 8, 54, 46, 8);
      QPainterPath bristles({48, 40});
      bristles.lineTo(66, 56);
      bristles.lineTo(50, 92);
      bristles.quadTo(26, 88, 8, 70);
      bristles.closeSubpath();
      g.fill(bristles);
      g.line(44, 50, 58, 62, 4, true);
      g.line(50, 66, 38, 86, 4, true);
      g.line(42, 60, 24, 78, 4, true);
      break;
    }
    case Glyph::Funnel: g.polygon({{12, 14}, {88, 14}, {58, 50}, {58, 86}, {42, 78}, {42, 50}}); break;
    case Glyph::Clock:
      g.ring(50, 50, 36, 9);
      g.polyline({{50, 24}, {50, 50}, {68, 60}}, 8);
      break;
    case Glyph::Pulse:
      g.polyline({{6, 54}, {26, 54}, {36, 26}, {52, 82}, {64, 38}, {72, 54}, {94, 54}}, 8);
      break;
    case Glyph::Save: {
      QPainterPath body({12, 12});
      body.lineTo(74, 12);
      body.lineTo(88, 26);
      body.lineTo(88, 88);
      body.lineTo(12, 88);
      body.closeSubpath();
      g.fill(body);
      g.box({28, 12, 38, 24}, 2, 0, true);
      g.box({52, 16, 8, 16}, 1);
      g.box({24, 50, 52, 38}, 3, 0, true);
      g.line(32, 62, 68, 62, 4);
      g.line(32, 74, 60, 74, 4);
      break;
    }
    case Glyph::Pencil: {
      QPainterPath body({16, 76});
      body.lineTo(66, 26);
      body.lineTo(78, 38);
      body.lineTo(28, 88);
      body.closeSubpath();
      g.fill(body);
      g.polygon({{16, 76}, {28, 88}, {8, 94}});
      g.polygon({{70, 22}, {78, 14}, {90, 26}, {82, 34}});
      break;
    }
    case Glyph::Eye: {
      QPainterPath eye({6, 50});
      eye.quadTo(50, 4, 94, 50);
      eye.quadTo(50, 96, 6, 50);
      g.stroke(eye, 8);
      g.disc(50, 50, 17);
      g.disc(50, 50, 7, true);
      break;
    }
    case Glyph::Link:
      g.box({8, 34, 48, 28}, 14, 9);
      g.box({44, 38, 48, 28}, 14, 9);
      break;
    case Glyph::Radio:
      g.ring(50, 50, 36, 8);
      g.disc(50, 50, 17);
      break;
    case Glyph::Picture:
      g.box({10, 16, 80, 68}, 5, 7);
      g.polygon({{18, 78}, {40, 46}, {54, 64}, {64, 54}, {82, 78}});
      g.disc(66, 36, 8);
      break;
    case Glyph::ReloadSource:
      g.page(10, 6, 56, 76, 4);
      g.badge();
      g.circularArrow(74, 75, 11, 5, true);
      break;
    case Glyph::ShowPage:
      g.page(10, 6, 56, 76, 4);
      g.badge();
      g.polygon({{67, 62}, {67, 86}, {87, 74}}, true);
      break;
    case Glyph::Trash:
      g.line(16, 24, 84, 24, 8);
      g.box({38, 10, 24, 14}, 3, 6);
      g.polygon({{22, 32}, {78, 32}, {72, 90}, {28, 90}});
      g.line(39, 42, 41, 80, 5, true);
      g.line(50, 42, 50, 80, 5, true);
      g.line(61, 42, 59, 80, 5, true);
      break;
    case Glyph::AddFile:
      g.page(10, 6, 56, 76, 4);
      g.badge();
      g.line(62, 74, 86, 74, 7, true);
      g.line(74, 62, 74, 86, 7, true);
      break;
    case Glyph::Camera:
      g.polygon({{28, 30}, {36, 16}, {64, 16}, {72, 30}});
      g.box({6, 28, 88, 58}, 10);
      g.disc(50, 57, 21, true);
      g.disc(50, 57, 13);
      g.disc(80, 40, 4, true);
      break;
    case Glyph::DocSource:
      g.page(12, 4, 76, 92, 0);
      g.polyline({{38, 46}, {26, 58}, {38, 70}}, 6, true);
      g.polyline({{62, 46}, {74, 58}, {62, 70}}, 6, true);
      g.line(54, 42, 46, 74, 6, true);
      break;
  }
}

}  // namespace

void drawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const Ink& ink) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(box.topLeft());
  p.scale(box.width() / 100.0, box.height() / 100.0);
  Pen pen(p, ink);
  draw(pen, glyph);
  p.restore();
}

}  // namespace skingen
