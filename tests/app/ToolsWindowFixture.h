#pragma once
// The tools window of the program made as the main block makes it, shown so
// that the mouse reaches it, for the suites of its tabs.
#include <QDir>
#include <QTest>
#include <QUrl>

#include "EmbeddedWB/Source/EwbFocusControl.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace FullScreen {
// The window's private state and operations, as the tab tests reach them.
struct FullScreenEventsInternals {
  static bool AnalysisOn(const TFullScreenForm* f) { return f->FAnalysisOn; }
  static bool DefaultFiltersOn(const TFullScreenForm* f) { return f->FDefaultFiltersOn; }
  static bool EventsTimeControl(const TFullScreenForm* f) { return f->FEventsTimeControl; }
  static void Log(TFullScreenForm* f, const String& name, const String& extra = String()) {
    f->LogBrowserEvent(f->WB, name, extra, String(), String());
  }
};
}  // namespace FullScreen

namespace apptest {

class ToolsWindowFixture : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    focusFixWasOn_ = EwbFocusControl::TEWBFocusControl::Instance() != nullptr;
    setStartPage(QStringLiteral("about:blank"));
    previousDir_ = QDir::currentPath();
    // The capture files land in the current folder.
    QDir::setCurrent(programDir());
  }
  void TearDown() override {
    QDir::setCurrent(previousDir_);
    AppTest::TearDown();
    if (focusFixWasOn_) EwbFocusControl::TEWBFocusControl::Activate();
  }

  // Both windows, the tools window shown (the main window, which the
  // offscreen platform cannot put behind, hidden), its browser at rest on
  // its home page.
  FullScreen::TFullScreenForm* showWindows() {
    Application->CreateForm(Menu::MyMenuForm);
    Application->CreateForm(FullScreen::FullScreenForm);
    FullScreen::TFullScreenForm* f = FullScreen::FullScreenForm;
    EXPECT_TRUE(Arrived(f, QStringLiteral("about:blank")));
    Menu::MyMenuForm->Hide();
    f->Show();
    EXPECT_TRUE(testsupport::waitFor([&] { return f->Widget()->isVisible(); }));
    return f;
  }
  static bool Arrived(FullScreen::TFullScreenForm* f, const QString& url) {
    return testsupport::waitFor(
        [&] {
          return f->WB->LocationURL() == url && f->WB->ReadyState() == READYSTATE_COMPLETE && !f->WB->Busy();
        },
        15000);
  }
  // Sends the tools browser to `url` and waits until it is there.
  static bool Browse(FullScreen::TFullScreenForm* f, const QString& url) {
    f->WB->Navigate(url);
    return Arrived(f, url);
  }
  // A page in the program folder; answers its address.
  QString localPage(const QString& name, const QByteArray& html = "<html><body>page</body></html>") {
    EXPECT_TRUE(testsupport::writeFile(programDir() + "/" + name, html));
    return QUrl::fromLocalFile(programDir() + "/" + name).toString();
  }
  // A press and release of the left button on a control, as the mouse makes them.
  static void Click(TControl* c) {
    QTest::mousePress(c->Widget(), Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(c->Widget(), Qt::LeftButton, {}, QPoint(2, 2));
  }

 private:
  bool focusFixWasOn_ = false;
  QString previousDir_;
};

}  // namespace apptest
