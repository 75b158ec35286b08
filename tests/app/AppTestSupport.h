#pragma once
// The set-up the main window's tests share: the units started as the main
// block starts them, a fresh application object for each test and a
// temporary program folder that shows the build's skin pictures.
#include <gtest/gtest.h>

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextCharFormat>

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "app/Menu.h"
#include "platform/classlib/Forms.h"
#include "tests/support/LoopbackServer.h"

namespace Menu {
// The window's private state, as the tests read it.
struct MenuFormInternals {
  static int GrowWidth(const TMyMenuForm* f) { return f->FGrowWidth; }
  static int GrowHeight(const TMyMenuForm* f) { return f->FGrowHeight; }
  static TPoint Outline(const TMyMenuForm* f, int i) { return f->FOutline[i]; }
  static const String& AppFolder(const TMyMenuForm* f) { return f->FAppFolder; }
};
}  // namespace Menu

namespace apptest {

class AppTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // The program folder of this test (NOCTIVANE_PROGRAM_DIR).
  QString programDir() const { return programDir_.path(); }
  // Writes "Noctivane.ini" into the program folder.
  void writeIni(const QByteArray& text) const;
  // The "key=value" lines of [Position] of an ini file, in file order.
  static QStringList iniValues(const QString& fileName);
  // Makes `url` the Internet Explorer start page (in the test's profile).
  static void setStartPage(const QString& url);

 private:
  QTemporaryDir programDir_;
};

// A server on 127.0.0.1 answering "/<name>.html" with the page set for the
// name (by default a page titled <name>, or only its body when `titled` is
// false), counting the requests. "slow" answers after five seconds or when
// the server stops.
class PageServer : public testsupport::LoopbackServer {
 public:
  explicit PageServer(bool titled = true);
  QString url(const std::string& name) const;
  void setPage(const std::string& name, const std::string& html);
  int hits(const std::string& name) const { return requestCount("/" + name + ".html"); }

 private:
  std::string defaultPage(const std::string& name) const;
  const bool titled_;
  std::mutex mutex_;
  std::map<std::string, std::string> pages_;
};

// The engine's widget that shows a browser's page and takes its keys and
// clicks (null before the browser showed anything).
QWidget* PageSurface(EmbeddedWB::TEmbeddedWB* wb);

// The browser's own keys as a person presses them on the page: Alt+Left and
// Alt+Right go through the history between `first` and `second` (both local
// pages), F5 and Ctrl+F5 reload, and Escape stops the load of `slow` (an
// address that answers only after seconds; `slowRequested` tells when its
// request reached the server) at once.
void CheckBrowserKeys(EmbeddedWB::TEmbeddedWB* wb, const QString& first, const QString& second,
                      const QString& slow, const std::function<bool()>& slowRequested);

// Watches the events that reach top-level windows and notes, for each
// window, whether a form variable was still empty when one arrived.
class FirstWindowEvent : public QObject {
 public:
  explicit FirstWindowEvent(std::function<TCustomForm*()> variable);
  ~FirstWindowEvent() override;
  // Whether the form's window got events, and whether the variable held a
  // form at every one of them.
  bool seen(TCustomForm* form) const;
  bool variableSetAtEach(TCustomForm* form) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<TCustomForm*()> variable_;
  QSet<QObject*> seen_;
  QSet<QObject*> beforeVariable_;
};

// Whether the image shows exactly the pixels of the skin picture `file`
// ("<group>/<name>") of the program folder `programDir`.
bool ShowsSkinPicture(TImage* image, const QString& programDir, const QString& file);

// The character format of a rich edit's first line with exactly this text
// (a test failure and the empty format when there is none).
QTextCharFormat LineFormat(TCustomMemo* edit, const QString& text);
// A colour of the class library as Qt's.
QColor Rgb(TColor c);

}  // namespace apptest
