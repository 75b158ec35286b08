#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace testsupport {

QString profileDir() { return qEnvironmentVariable("NOCTIVANE_PROFILE"); }

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool havePython() { return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty(); }

QByteArray runPython(const char* script, const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + args);
  if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    ADD_FAILURE() << "python3 failed: " << p.readAllStandardError().toStdString();
    return {};
  }
  return p.readAllStandardOutput();
}

namespace {

QMutex captureMutex;
QStringList capturedLines;
QtMessageHandler previousHandler = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (context.category != nullptr && qstrcmp(context.category, "noctivane.debugoutput") == 0) {
    QMutexLocker lock(&captureMutex);
    capturedLines << message;
  } else if (previousHandler != nullptr) {
    previousHandler(type, context, message);
  }
}

}  // namespace

DebugOutputCapture::DebugOutputCapture(bool enable) {
  {
    QMutexLocker lock(&captureMutex);
    capturedLines.clear();
  }
  if (enable) QLoggingCategory::setFilterRules(QStringLiteral("noctivane.debugoutput.debug=true"));
  previousHandler = qInstallMessageHandler(&captureHandler);
}

DebugOutputCapture::~DebugOutputCapture() {
  qInstallMessageHandler(previousHandler);
  previousHandler = nullptr;
  QLoggingCategory::setFilterRules(QString());
}

QStringList DebugOutputCapture::lines() const {
  QMutexLocker lock(&captureMutex);
  return capturedLines;
}

}  // namespace testsupport
