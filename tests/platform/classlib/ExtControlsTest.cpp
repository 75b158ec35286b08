#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "platform/classlib/ExtControls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Gauges.h"
#include "platform/classlib/Jpeg.h"
#include "platform/classlib/PngImage.h"
#include "platform/classlib/Streaming.h"
#include "tests/support/TestSupport.h"

namespace extcontrolstest {

class ExtControls : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeExtCtrls();
    InitializeExtControls();
    InitializeGauges();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 500, 400);
    form->SetColor(clWhite);
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }

  template <class T>
  T* Add(TRect bounds, TAlign align = alNone, TWinControl* parent = nullptr) {
    auto* c = new T(form);
    c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    c->SetParent(parent ? parent : form);
    c->SetAlign(align);
    return c;
  }

  void ShowForm() {
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }

  // The control as it shows on the form.
  QImage Shot(TControl* c) {
    const QImage whole = form->Widget()->grab().toImage();
    const TPoint origin = form->ScreenToClient(c->ClientToScreen(TPoint(0, 0)));
    return whole.copy(origin.X, origin.Y, c->Width(), c->Height());
  }

  // A picture file of two colours: the left half red, the right half blue.
  static QString WritePicture(const QString& name, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < h; ++y)
      for (int x = w / 2; x < w; ++x) image.setPixelColor(x, y, Qt::blue);
    const QString path = QDir(testsupport::profileDir()).filePath(name);
    EXPECT_TRUE(image.save(path, nullptr, 100)) << path.toStdString();
    return path;
  }

  static bool Near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
  }

  TForm* form = nullptr;
};

// ---------------------------------------------------------------- TImage

TEST_F(ExtControls, ImageLoadsEachFormatByExtensionAndSizesItself) {
  auto* image = Add<TImage>(Bounds(10, 10, 50, 50));
  image->SetAutoSize(true);
  const QString png = WritePicture("pic.png", 30, 20);
  const QString bmp = WritePicture("pic.bmp", 24, 16);
  const QString jpg = WritePicture("pic.JPG", 40, 12);

  image->Picture()->LoadFromFile(png);
  EXPECT_NE(qobject_cast<TPngImage*>(image->Picture()->Graphic()), nullptr);
  EXPECT_EQ(image->Width(), 30);
  EXPECT_EQ(image->Height(), 20);
  image->Picture()->LoadFromFile(bmp);
  EXPECT_NE(qobject_cast<TBitmap*>(image->Picture()->Graphic()), nullptr);
  EXPECT_EQ(image->Width(), 24);
  image->Picture()->LoadFromFile(jpg);
  EXPECT_NE(qobject_cast<TJPEGImage*>(image->Picture()->Graphic()), nullptr);
  EXPECT_EQ(image->Width(), 40);
  EXPECT_EQ(image->Height(), 12);

  // A failed load keeps the picture shown.
  EXPECT_THROW(image->Picture()->LoadFromFile(QDir(testsupport::profileDir()).filePath("missing.png")),
               EFOpenError);
  EXPECT_THROW(image->Picture()->LoadFromFile(png + ".txt"), EInvalidGraphic);
  EXPECT_NE(qobject_cast<TJPEGImage*>(image->Picture()->Graphic()), nullptr);

  ShowForm();
  const QImage shot = Shot(image);
  EXPECT_TRUE(Near(shot.pixelColor(5, 6), Qt::red));
  EXPECT_TRUE(Near(shot.pixelColor(35, 6), Qt::blue));
}

TEST_F(ExtControls, ImageStretchCenterAndProportional) {
  auto* image = Add<TImage>(Bounds(10, 10, 80, 80));
  image->Picture()->LoadFromFile(WritePicture("small.png", 20, 10));
  ShowForm();

  // As it is: top-left, the rest shows the form.
  EXPECT_EQ(image->DestRect(), Bounds(0, 0, 20, 10));
  QImage shot = Shot(image);
  EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(15, 5), QColor(Qt::blue));
  EXPECT_EQ(shot.pixelColor(40, 40), QColor(Qt::white));

  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), Bounds(30, 35, 20, 10));
  shot = Shot(image);
  EXPECT_EQ(shot.pixelColor(35, 40), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::white));

  image->SetCenter(false);
  image->SetStretch(true);
  shot = Shot(image);
  EXPECT_EQ(shot.pixelColor(10, 70), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(70, 70), QColor(Qt::blue));

  // Proportional keeps the aspect: 80 x 40 at the top, centred 20 lower.
  image->SetProportional(true);
  EXPECT_EQ(image->DestRect(), Bounds(0, 0, 80, 40));
  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), Bounds(0, 20, 80, 40));
  shot = Shot(image);
  EXPECT_EQ(shot.pixelColor(10, 10), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(10, 30), QColor(Qt::red));
  // Without Stretch, Proportional only shrinks what does not fit.
  image->SetStretch(false);
  EXPECT_EQ(image->DestRect(), Bounds(30, 35, 20, 10));
}

TEST_F(ExtControls, ImageCanvasDrawsOnItsBitmapAndRepaints) {
  auto* image = Add<TImage>(Bounds(10, 10, 40, 30));
  ShowForm();
  TCanvas* canvas = image->Canvas();
  ASSERT_NE(qobject_cast<TBitmap*>(image->Picture()->Graphic()), nullptr);
  EXPECT_EQ(image->Picture()->GetWidth(), 40);
  canvas->Brush()->SetColor(clLime);
  canvas->FillRect(Rect(0, 0, 40, 30));
  canvas->ReleaseHandle();
  QTest::qWait(20);
  EXPECT_EQ(Shot(image).pixelColor(20, 15), QColor(Qt::green));

  image->Picture()->LoadFromFile(WritePicture("other.png", 4, 4));
  EXPECT_THROW(image->Canvas(), EInvalidOperation);
}

// ---------------------------------------------------------------- TGauge

TEST_F(ExtControls, GaugeClampsProgressAndKeepsItsRange) {
  auto* gauge = Add<TGauge>(Bounds(0, 0, 20, 100));
  gauge->SetProgress(150);
  EXPECT_EQ(gauge->Progress(), 100);
  gauge->SetProgress(-5);
  EXPECT_EQ(gauge->Progress(), 0);
  gauge->SetMinValue(20);
  EXPECT_EQ(gauge->Progress(), 20);
  gauge->SetMaxValue(120);
  gauge->SetProgress(70);
  EXPECT_EQ(gauge->PercentDone(), 50);
  gauge->AddProgress(100);
  EXPECT_EQ(gauge->Progress(), 120);
  EXPECT_EQ(gauge->PercentDone(), 100);
  EXPECT_THROW(gauge->SetMaxValue(10), EInvalidOperation);
  EXPECT_THROW(gauge->SetMinValue(200), EInvalidOperation);
  gauge->SetMaxValue(50);
  EXPECT_EQ(gauge->Progress(), 50);
  gauge->SetMinValue(50);
  EXPECT_EQ(gauge->PercentDone(), 0);  // an empty range
}

TEST_F(ExtControls, GaugeBarsFillFromTheLeftAndFromTheBottom) {
  auto* vertical = Add<TGauge>(Bounds(10, 10, 20, 102));
  vertical->SetKind(gkVerticalBar);
  vertical->SetForeColor(clOlive);
  vertical->SetBackColor(clBlack);
  vertical->SetShowText(false);
  vertical->SetProgress(25);
  auto* horizontal = Add<TGauge>(Bounds(50, 10, 102, 20));
  horizontal->SetForeColor(clSilver);
  horizontal->SetBackColor(clCream);
  horizontal->SetShowText(false);
  horizontal->SetProgress(30);
  ShowForm();

  const QColor olive = TColorToQColor(clOlive), black = QColor(Qt::black);
  QImage v = Shot(vertical);
  // Inside the frame the bar is 100 pixels high: the lower quarter is filled.
  EXPECT_EQ(v.pixelColor(10, 1 + 70), black);
  EXPECT_EQ(v.pixelColor(10, 1 + 76), olive);
  EXPECT_EQ(v.pixelColor(10, 100), olive);
  EXPECT_EQ(v.pixelColor(0, 50), black);  // the frame
  vertical->SetProgress(80);
  v = Shot(vertical);
  EXPECT_EQ(v.pixelColor(10, 1 + 18), black);
  EXPECT_EQ(v.pixelColor(10, 1 + 22), olive);

  const QImage h = Shot(horizontal);
  EXPECT_EQ(h.pixelColor(1 + 25, 10), TColorToQColor(clSilver));
  EXPECT_EQ(h.pixelColor(1 + 35, 10), TColorToQColor(clCream));
}

// ---------------------------------------------------------------- TShape

TEST_F(ExtControls, ShapesPaintWithTheirBrushAndPen) {
  auto* circle = Add<TShape>(Bounds(10, 10, 60, 40));
  circle->SetShape(stCircle);
  circle->Brush()->SetColor(clRed);
  circle->Pen()->SetColor(clBlue);
  auto* rect = Add<TShape>(Bounds(100, 10, 40, 40));
  rect->Brush()->SetColor(clLime);
  ShowForm();
  QImage shot = Shot(circle);
  EXPECT_EQ(shot.pixelColor(30, 20), QColor(Qt::red));   // the middle
  EXPECT_EQ(shot.pixelColor(5, 20), QColor(Qt::white));  // a circle 40 across in the middle
  EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::white));
  shot = Shot(rect);
  EXPECT_EQ(shot.pixelColor(20, 20), QColor(Qt::green));
  EXPECT_EQ(shot.pixelColor(0, 20), QColor(Qt::black));  // the pen
  // A change of the brush repaints.
  rect->Brush()->SetColor(clYellow);
  EXPECT_EQ(Shot(rect).pixelColor(20, 20), QColor(Qt::yellow));
  rect->SetShape(stEllipse);
  EXPECT_EQ(Shot(rect).pixelColor(1, 1), QColor(Qt::white));
}

// ---------------------------------------------------------------- TTimer

TEST_F(ExtControls, TimerFiresWhileEnabled) {
  auto* timer = new TTimer(form);
  int ticks = 0;
  timer->OnTimer = [&](TObject* sender) {
    EXPECT_EQ(sender, timer);
    ++ticks;
  };
  timer->SetInterval(15);
  EXPECT_TRUE(testsupport::waitFor([&] { return ticks >= 3; }, 3000));
  timer->SetEnabled(false);
  const int stopped = ticks;
  QTest::qWait(80);
  EXPECT_EQ(ticks, stopped);
  timer->SetInterval(0);
  timer->SetEnabled(true);
  QTest::qWait(50);
  EXPECT_EQ(ticks, stopped);
  timer->SetInterval(10);
  EXPECT_TRUE(testsupport::waitFor([&] { return ticks > stopped; }, 3000));
  delete timer;  // a running timer goes with its component
  QTest::qWait(30);
}

// ---------------------------------------------------------------- TSplitter

TEST_F(ExtControls, SplitterDragResizesTheControlOnItsSide) {
  auto* left = Add<TPanel>(Bounds(0, 0, 100, 10), alLeft);
  auto* splitter = Add<TSplitter>(Bounds(100, 0, 4, 10), alLeft);
  Add<TPanel>(Bounds(200, 0, 10, 10), alClient);
  auto* right = Add<TPanel>(Bounds(400, 0, 80, 10), alRight);
  auto* rightSplitter = Add<TSplitter>(Bounds(390, 0, 4, 10), alRight);
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };
  ShowForm();
  ASSERT_EQ(splitter->Left(), 100);
  EXPECT_EQ(splitter->FindResizedControl(), left);
  EXPECT_EQ(rightSplitter->FindResizedControl(), right);
  EXPECT_EQ(splitter->Cursor(), crHSplit);

  QWidget* w = splitter->Widget();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(1, 50));
  QTest::mouseMove(w, QPoint(30, 50));
  QTest::mouseMove(w, QPoint(51, 50));
  EXPECT_EQ(left->Width(), 100);  // the pattern style waits for the release
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(51, 50));
  EXPECT_EQ(left->Width(), 150);
  EXPECT_EQ(splitter->Left(), 150);
  EXPECT_EQ(moved, 1);

  // Live resizing, and the minimum size.
  splitter->SetResizeStyle(rsUpdate);
  splitter->SetAutoSnap(false);
  w = splitter->Widget();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(1, 50));
  QTest::mouseMove(w, QPoint(-19, 50));
  EXPECT_EQ(left->Width(), 130);
  QTest::mouseMove(w, QPoint(-300, 50));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(-300, 50));
  EXPECT_EQ(left->Width(), splitter->MinSize());
  // With AutoSnap a drag to the minimum closes the control.
  splitter->SetAutoSnap(true);
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(1, 50));
  QTest::mouseMove(w, QPoint(-100, 50));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(-100, 50));
  EXPECT_EQ(left->Width(), 0);

  // A right-aligned splitter grows the control on its right when dragged left.
  QWidget* rw = rightSplitter->Widget();
  QTest::mousePress(rw, Qt::LeftButton, {}, QPoint(1, 50));
  QTest::mouseMove(rw, QPoint(-39, 50));
  QTest::mouseRelease(rw, Qt::LeftButton, {}, QPoint(-39, 50));
  EXPECT_EQ(right->Width(), 120);
  EXPECT_EQ(right->Left() + right->Width(), form->ClientWidth());
}

// ---------------------------------------------------------------- TScrollBox

TEST_F(ExtControls, ScrollBoxScrollsContentBeyondItsClientArea) {
  auto* box = Add<TScrollBox>(Bounds(10, 10, 200, 150));
  auto* top = Add<TPanel>(Bounds(0, 0, 100, 40), alNone, box);
  auto* far = Add<TPanel>(Bounds(10, 400, 100, 40), alNone, box);
  ShowForm();
  EXPECT_LE(box->ClientRect().Height(), 150);
  EXPECT_EQ(box->VertScrollBar()->Range(), 440);
  EXPECT_EQ(box->VertScrollBar()->Position(), 0);
  box->VertScrollBar()->SetPosition(100);
  EXPECT_EQ(box->VertScrollBar()->Position(), 100);
  box->ScrollInView(far);
  EXPECT_GE(box->VertScrollBar()->Position(), 440 - box->ClientRect().Height());
  box->ScrollInView(top);
  EXPECT_EQ(box->VertScrollBar()->Position(), 0);
  // Children keep their positions inside the scrolled content.
  EXPECT_EQ(far->Top(), 400);
  EXPECT_EQ(far->Widget()->parentWidget(), box->ContainerWidget());
  // Aligned children fill the visible width.
  auto* header = Add<TPanel>(Bounds(0, 0, 10, 20), alTop, box);
  EXPECT_EQ(header->Width(), box->ClientRect().Width());
}

// ---------------------------------------------------------------- form resources

class TExtTestForm : public TForm {
  Q_OBJECT
 public:
  using TForm::TForm;
  TGauge* ProgressBar = nullptr;
  int ticks = 0;
  void TimerTick(TObject*) { ++ticks; }
};

TEST_F(ExtControls, ControlsReadTheirPropertiesFromAFormResource) {
  RegisterClass<TExtTestForm>();
  RegisterHandlers<TExtTestForm>({HandlerEntry("TimerTick", &TExtTestForm::TimerTick),
                                  FieldEntry("ProgressBar", &TExtTestForm::ProgressBar)});
  const QString text = QStringLiteral(
      "object ExtTestForm: TExtTestForm\n"
      "  object ProgressBar: TGauge\n"
      "    Kind = gkVerticalBar\n"
      "    ForeColor = clOlive\n"
      "    BackColor = clBlack\n"
      "    ShowText = False\n"
      "    Progress = 40\n"
      "  end\n"
      "  object TopShape: TShape\n"
      "    Shape = stRoundRect\n"
      "    Brush.Color = clRed\n"
      "    Pen.Width = 2\n"
      "  end\n"
      "  object VSplitter: TSplitter\n"
      "    Align = alRight\n"
      "    MinSize = 50\n"
      "    ResizeStyle = rsUpdate\n"
      "  end\n"
      "  object Viewer: TImage\n"
      "    Align = alClient\n"
      "    AutoSize = True\n"
      "    Center = True\n"
      "  end\n"
      "  object Tick: TTimer\n"
      "    Interval = 10\n"
      "    OnTimer = TimerTick\n"
      "  end\n"
      "end\n");
  TExtTestForm f(nullptr);
  ReadComponentRes(text, &f);
  ASSERT_NE(f.ProgressBar, nullptr);
  EXPECT_EQ(f.ProgressBar->Kind(), gkVerticalBar);
  EXPECT_EQ(f.ProgressBar->ForeColor(), clOlive);
  EXPECT_EQ(f.ProgressBar->BackColor(), clBlack);
  EXPECT_FALSE(f.ProgressBar->ShowText());
  EXPECT_EQ(f.ProgressBar->Progress(), 40);
  auto* shape = qobject_cast<TShape*>(f.FindComponent("TopShape"));
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(shape->Shape(), stRoundRect);
  EXPECT_EQ(shape->Brush()->GetColor(), clRed);
  EXPECT_EQ(shape->Pen()->GetWidth(), 2);
  auto* splitter = qobject_cast<TSplitter*>(f.FindComponent("VSplitter"));
  ASSERT_NE(splitter, nullptr);
  EXPECT_EQ(splitter->Align(), alRight);
  EXPECT_EQ(splitter->MinSize(), 50);
  EXPECT_EQ(splitter->ResizeStyle(), rsUpdate);
  auto* viewer = qobject_cast<TImage*>(f.FindComponent("Viewer"));
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->AutoSize() && viewer->Center());
  EXPECT_TRUE(testsupport::waitFor([&] { return f.ticks >= 2; }, 3000));

  const QString written = WriteComponentRes(&f);
  EXPECT_TRUE(written.contains("ForeColor = clOlive")) << written.toStdString();
  EXPECT_TRUE(written.contains("Kind = gkVerticalBar"));
  EXPECT_TRUE(written.contains("OnTimer = TimerTick"));
}

}  // namespace extcontrolstest

#include "ExtControlsTest.moc"
