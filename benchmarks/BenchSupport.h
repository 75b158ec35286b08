#pragma once
// What the benchmarks that run the program in one process share: a profile
// and a program folder of the run, waiting on the event loop, medians.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/rtl/Registry.h"

namespace bench {

// The engine on the offscreen platform (unless told otherwise), and the
// profile and program folders under `work`, so that the user's own stay as
// they are. Call before the Qt application is made.
inline bool PrepareRun(const QTemporaryDir& work) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (!work.isValid()) return false;
  const QString profile = work.path() + QStringLiteral("/profile");
  const QString program = work.path() + QStringLiteral("/program");
  QDir().mkpath(profile);
  QDir().mkpath(program);
  QFile::link(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Skins"), program + QStringLiteral("/Skins"));
  qputenv("NOCTIVANE_PROFILE", profile.toUtf8());
  qputenv("NOCTIVANE_PROGRAM_DIR", program.toUtf8());
  // The engine's views share one graphics context with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return true;
}

// The browsers of the run start on a blank page.
inline bool StartOnBlankPage() {
  TRegistry reg;
  reg.RootKey = HKEY_CURRENT_USER;
  if (!reg.OpenKey(QStringLiteral("\\Software\\Microsoft\\Internet Explorer\\Main"), true)) return false;
  reg.WriteString(QStringLiteral("Start Page"), QStringLiteral("about:blank"));
  return true;
}

// Runs the event loop until `done` answers true; false after the time-out.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
  }
  return true;
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace bench
