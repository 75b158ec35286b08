#include "platform/rtl/Folders.h"

#include <QCoreApplication>
#include <QDir>
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

String ProgramFileForWriting(const String& name) {
  // Files are replaced through a temporary file and a rename, so it is the
  // folder, not the file, that has to be writable.
  const String programDir = ProgramDir();
  const QFileInfo folder(programDir);
  if (folder.isDir() && folder.isWritable()) return programDir + QLatin1Char('/') + name;
  return ProfileDir() + QLatin1Char('/') + name;
}
