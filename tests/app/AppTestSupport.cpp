#include "tests/app/AppTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVariant>
#include <QWebEngineView>
#include <QWidget>

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "platform/mshtml/LiveDocument.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Registry.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/support/TestSupport.h"

namespace apptest {

PageServer::PageServer(bool titled) : titled_(titled) {
  slowPage(R"(/slow\.html)", defaultPage("slow"));
  get(R"(/(\w+)\.html)", [this](const testsupport::HttpRequest& req, testsupport::HttpResponse& res) {
    const std::string& name = req.matches[1];
    std::lock_guard<std::mutex> lock(mutex_);
    const auto page = pages_.find(name);
    res.body = page != pages_.end() ? page->second : defaultPage(name);
  });
  start();
}

QString PageServer::url(const std::string& name) const {
  return LoopbackServer::url(QString::fromStdString("/" + name + ".html"));
}

void PageServer::setPage(const std::string& name, const std::string& html) {
  std::lock_guard<std::mutex> lock(mutex_);
  pages_[name] = html;
}

std::string PageServer::defaultPage(const std::string& name) const {
  if (!titled_) return "<html><body>" + name + "</body></html>";
  return "<html><head><title>" + name + "</title></head><body>" + name + "</body></html>";
}

QWidget* PageSurface(EmbeddedWB::TEmbeddedWB* wb) {
  WebBrowserObject* browser = WebBrowserObject::FromUnknown(wb->DefaultInterface().Get());
  return browser && browser->View() ? browser->View()->focusProxy() : nullptr;
}

void CheckBrowserKeys(EmbeddedWB::TEmbeddedWB* wb, const QString& first, const QString& second,
                      const QString& slow, const std::function<bool()>& slowRequested) {
  auto shows = [wb](const QString& url) {
    return testsupport::waitFor(
        [&] { return wb->LocationURL() == url && wb->ReadyState() == READYSTATE_COMPLETE && !wb->Busy(); },
        15000);
  };
  wb->Go(first, 0);
  ASSERT_TRUE(shows(first));
  wb->Go(second, 0);
  ASSERT_TRUE(shows(second));
  QWidget* surface = PageSurface(wb);
  ASSERT_NE(surface, nullptr);

  QTest::keyClick(surface, Qt::Key_Left, Qt::AltModifier);
  EXPECT_TRUE(shows(first));
  QTest::keyClick(surface, Qt::Key_Right, Qt::AltModifier);
  EXPECT_TRUE(shows(second));

  // A reload forgets what a script left in the page.
  QWebEnginePage* page = WebBrowserObject::FromUnknown(wb->DefaultInterface().Get())->Page();
  auto marked = [page] {
    QVariant v;
    return RunPageScript(page, QStringLiteral("window.noctivaneMark === 1"), &v) && v.toBool();
  };
  for (const Qt::KeyboardModifiers mods :
       {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
    ASSERT_TRUE(RunPageScript(page, QStringLiteral("window.noctivaneMark = 1")));
    ASSERT_TRUE(marked());
    QTest::keyClick(PageSurface(wb), Qt::Key_F5, mods);
    EXPECT_TRUE(testsupport::waitFor(
        [&] { return !wb->Busy() && wb->ReadyState() == READYSTATE_COMPLETE && !marked(); }, 15000))
        << "F5 with modifiers " << int(mods);
    EXPECT_EQ(wb->LocationURL(), second);
  }

  // Escape stops a load; the browser is idle as soon as the key is handled.
  wb->Go(slow, 0);
  ASSERT_TRUE(testsupport::waitFor([&] { return slowRequested() && wb->Busy(); }, 10000));
  QTest::keyClick(PageSurface(wb), Qt::Key_Escape);
  EXPECT_FALSE(wb->Busy());
  EXPECT_EQ(wb->ReadyState(), READYSTATE_COMPLETE);
}

void AppTest::SetUpTestSuite() {
  static bool started = false;
  if (started) return;
  started = true;
  InitializeProgramUnits();
}

void AppTest::TearDownTestSuite() {}

void AppTest::SetUp() {
  ASSERT_TRUE(programDir_.isValid());
  QFile::link(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Skins"), programDir() + QStringLiteral("/Skins"));
  qputenv("NOCTIVANE_PROGRAM_DIR", programDir().toUtf8());
  InitializeForms();
  Application->SetTitle(QStringLiteral("Noctivane"));  // names the program's registry key
  Menu::MyMenuForm = nullptr;
  FullScreen::FullScreenForm = nullptr;
}

void AppTest::TearDown() {
  FinalizeForms();
  QCoreApplication::processEvents();  // what the closed windows left behind
  qunsetenv("NOCTIVANE_PROGRAM_DIR");
}

void AppTest::writeIni(const QByteArray& text) const {
  ASSERT_TRUE(testsupport::writeFile(programDir() + QStringLiteral("/Noctivane.ini"), text));
}

QStringList AppTest::iniValues(const QString& fileName) {
  TIniFile ini(fileName);
  TStringList values;
  ini.ReadSectionValues(QStringLiteral("Position"), values);
  return values.Strings();
}

void AppTest::setStartPage(const QString& url) {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  ASSERT_TRUE(reg.OpenKey(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main"), true));
  reg.WriteString(QStringLiteral("Start Page"), url);
}

FirstWindowEvent::FirstWindowEvent(std::function<TCustomForm*()> variable) : variable_(std::move(variable)) {
  qApp->installEventFilter(this);
}

FirstWindowEvent::~FirstWindowEvent() { qApp->removeEventFilter(this); }

bool FirstWindowEvent::seen(TCustomForm* form) const { return form && seen_.contains(form->Widget()); }

bool FirstWindowEvent::variableSetAtEach(TCustomForm* form) const {
  return form && !beforeVariable_.contains(form->Widget());
}

bool FirstWindowEvent::eventFilter(QObject* watched, QEvent* event) {
  if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
    seen_.insert(watched);
    if (!variable_()) beforeVariable_.insert(watched);
  }
  return false;
}

bool ShowsSkinPicture(TImage* image, const QString& programDir, const QString& file) {
  const QImage expected(programDir + "/Skins/Gold/" + file);
  TGraphic* graphic = image->Picture()->Graphic();
  return !expected.isNull() && graphic &&
         graphic->ToQImage().convertToFormat(QImage::Format_ARGB32) ==
             expected.convertToFormat(QImage::Format_ARGB32);
}

QTextCharFormat LineFormat(TCustomMemo* edit, const QString& text) {
  for (QTextBlock b = edit->TextEdit()->document()->begin(); b.isValid(); b = b.next())
    if (b.text() == text) {
      QTextCursor c(b);
      c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
      return c.charFormat();
    }
  ADD_FAILURE() << "no line " << text.toStdString();
  return {};
}

QColor Rgb(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace apptest
