#pragma once
// What every fuzz harness shares: a Qt application on the offscreen platform
// with a profile folder of its own, quiet Qt warnings, and a check that
// stops the run (as a crash libFuzzer records) when a reader breaks a rule
// that must hold for any input.
#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

// Qt's own warnings about odd input would drown libFuzzer's output.
inline void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "qFatal: %s\n", message.toLocal8Bit().constData());
    std::abort();
  }
}

// Call once from LLVMFuzzerInitialize. `widgets`: a QApplication (forms,
// text documents), else a QCoreApplication.
inline void Start(bool widgets) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QTemporaryDir profile;
  qputenv("NOCTIVANE_PROFILE", profile.path().toUtf8());
  qInstallMessageHandler(QuietMessages);
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  if (widgets)
    new QApplication(argc, argv);
  else
    new QCoreApplication(argc, argv);
}

inline QString ProfileDir() { return qEnvironmentVariable("NOCTIVANE_PROFILE"); }

// Stops the run with `what` when `ok` is false.
inline void Check(bool ok, const char* what, const QString& detail = QString()) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.toUtf8().constData());
  std::abort();
}

}  // namespace fuzzsupport
