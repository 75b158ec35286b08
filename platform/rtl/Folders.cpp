#include "platform/rtl/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

String cleanDir(const String& dir) { return QDir::cleanPath(NormalizePath(dir)); }

}  // namespace

String ProgramDir() {
  const String overridden = qEnvironmentVariable("NOCTIVANE_PROGRAM_DIR");
  if (!overridden.isEmpty()) return cleanDir(overridden);
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  // Before the application object exists, ask the kernel where we run from.
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

String ProfileDir() {
  String dir = qEnvironmentVariable("NOCTIVANE_PROFILE");
  if (dir.isEmpty()) {
    const String dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    dir = dataHome.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share/noctivane")
                             : dataHome + QStringLiteral("/noctivane");
  }
  dir = cleanDir(dir);
  ForceDirectories(dir);
  return dir;
}

void KeepHomeInsideProfile() {
  if (qEnvironmentVariableIsEmpty("NOCTIVANE_PROFILE")) return;
  const String oldHome = cleanDir(QDir::homePath());
  const String home = ProfileDir() + QStringLiteral("/Home");
  ForceDirectories(home);
  qputenv("HOME", QFile::encodeName(home));
  // A base folder named outright would still lead into the old home.
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
    const String dir = cleanDir(qEnvironmentVariable(name));
    if (!dir.isEmpty() && (dir == oldHome || dir.startsWith(oldHome + QLatin1Char('/')))) qunsetenv(name);
  }
}

String ProgramFileForWriting(const String& name) {
  // Files are replaced through a temporary file and a rename, so it is the
  // folder, not the file, that has to be writable.
  const String programDir = ProgramDir();
  const QFileInfo folder(programDir);
  if (folder.isDir() && folder.isWritable()) return programDir + QLatin1Char('/') + name;
  return ProfileDir() + QLatin1Char('/') + name;
}
