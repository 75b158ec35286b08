#include "tests/app/AppTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QWidget>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "app/Startup.h"
#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Registry.h"
#include "tests/support/TestSupport.h"

namespace apptest {

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

FirstWindowEvent::FirstWindowEvent(std::function<TCustomForm*()> variable)
    : variable_(std::move(variable)) {
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

}  // namespace apptest
