// File operations of the shell (delete to the trash, copy, move, rename) and
// opening documents and addresses through the desktop.
#include "platform/shell/ShellItems.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

using namespace shelldetail;

namespace {

QStringList parseList(LPCWSTR list) {
  QStringList out;
  for (const WCHAR* p = list; p && *p;) {
    const String item = String::fromUtf16(p);
    out << item;
    p += item.size() + 1;
  }
  return out;
}

bool hasWildcards(const String& name) {
  return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// The platform's wildcards: "*" and "?" only, without regard to case; "x.*"
// also matches "x".
bool matchesWildcard(const String& pattern, const String& name) {
  auto regexOf = [](const String& p) {
    String rx;
    for (QChar c : p) {
      if (c == QLatin1Char('*'))
        rx += QLatin1String(".*");
      else if (c == QLatin1Char('?'))
        rx += QLatin1Char('.');
      else
        rx += QRegularExpression::escape(String(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(rx),
                              QRegularExpression::CaseInsensitiveOption);
  };
  if (regexOf(pattern).match(name).hasMatch()) return true;
  return pattern.endsWith(QLatin1String(".*")) && regexOf(pattern.chopped(2)).match(name).hasMatch();
}

// The existing items a source names (its wildcards expanded). A name may
// hold "*" and "?" here: a source naming an existing item is that item.
QStringList expand(const String& source, bool filesOnly, bool& wildcards) {
  const String path = QDir::cleanPath(NormalizePath(source));
  const String name = ExtractFileName(path);
  if (QFileInfo::exists(path)) return QStringList{path};
  if (!hasWildcards(name)) return QStringList();
  wildcards = true;
  QStringList out;
  const QDir dir(ExtractFileDir(path));
  const QFileInfoList entries =
      dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
  for (const QFileInfo& entry : entries)
    if ((!filesOnly || !entry.isDir()) && matchesWildcard(name, entry.fileName())) out << entry.filePath();
  return out;
}

bool removeItem(const String& path) {
  const QFileInfo info(path);
  if (info.isDir() && !info.isSymLink()) return QDir(path).removeRecursively();
  return QFile::remove(path);
}

bool copyItem(const String& source, const String& target) {
  const QFileInfo info(source);
  if (!info.isDir()) return QFile::copy(source, target);
  if (!QDir().mkpath(target)) return false;
  const QDir dir(source);
  for (const QFileInfo& entry :
       dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
    if (!copyItem(entry.filePath(), target + QLatin1Char('/') + entry.fileName())) return false;
  return true;
}

bool moveItem(const String& source, const String& target) {
  if (QDir().rename(source, target)) return true;
  // Across file systems: copy, then remove the source.
  return copyItem(source, target) && removeItem(source);
}

// Qt puts the trash beside the working folder when the user's data folder
// does not exist yet (a fresh profile home) and still answers success: make
// that folder first, and count a move that did not land in an absolute place
// as failed, with the item brought back.
bool moveToTrash(const String& path) {
  QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  QString inTrash;
  if (!QFile::moveToTrash(path, &inTrash)) return false;
  if (QFileInfo(inTrash).isAbsolute()) return true;
  QDir().rename(inTrash, path);
  return false;
}

int deleteItems(SHFILEOPSTRUCTW& op, const QStringList& sources) {
  const bool toTrash = op.fFlags & FOF_ALLOWUNDO;
  if (!(op.fFlags & FOF_NOCONFIRMATION) && !ConfirmDelete(op.hwnd, sources, toTrash)) {
    op.fAnyOperationsAborted = TRUE;
    return int(ERROR_CANCELLED);
  }
  for (const String& path : sources) {
    // Without a trash for the file's place nothing is deleted for good.
    const bool done = toTrash ? moveToTrash(path) : removeItem(path);
    if (!done) return int(ERROR_ACCESS_DENIED);
  }
  return 0;
}

int copyOrMove(SHFILEOPSTRUCTW& op, const QStringList& sources, bool wildcards) {
  const bool move = op.wFunc == FO_MOVE;
  const QStringList targets = parseList(op.pTo);
  if (targets.isEmpty()) return int(ERROR_INVALID_PARAMETER);
  const bool multiDest = (op.fFlags & FOF_MULTIDESTFILES) && targets.size() == sources.size();
  for (int i = 0; i < sources.size(); ++i) {
    const String source = sources[i];
    String target = QDir::cleanPath(NormalizePath(multiDest ? targets[i] : targets[0]));
    if (!multiDest && (sources.size() > 1 || wildcards || QFileInfo(target).isDir())) {
      if (!QDir().mkpath(target)) return int(ERROR_ACCESS_DENIED);
      target += QLatin1Char('/') + ExtractFileName(source);
    }
    if (target == source) {
      if (move) continue;
      target = UniqueFileName(target);
    }
    if (target.startsWith(source + QLatin1Char('/'))) return int(ERROR_INVALID_PARAMETER);
    if (QFileInfo::exists(target)) {
      if (op.fFlags & FOF_RENAMEONCOLLISION) {
        target = UniqueFileName(target);
      } else if (!(op.fFlags & FOF_NOCONFIRMATION) && !ConfirmReplace(op.hwnd, source, target)) {
        op.fAnyOperationsAborted = TRUE;
        continue;
      } else if (!removeItem(target)) {
        return int(ERROR_ACCESS_DENIED);
      }
    }
    if (!QDir().mkpath(ExtractFileDir(target))) return int(ERROR_ACCESS_DENIED);
    if (!(move ? moveItem(source, target) : copyItem(source, target))) return int(ERROR_ACCESS_DENIED);
  }
  return 0;
}

int renameItem(const QStringList& sources, LPCWSTR to) {
  const QStringList targets = parseList(to);
  if (sources.size() != 1 || targets.size() != 1) return int(ERROR_INVALID_PARAMETER);
  String target = NormalizePath(targets[0]);
  if (!target.contains(QLatin1Char('/'))) target = ExtractFilePath(sources[0]) + target;
  target = QDir::cleanPath(target);
  if (target == sources[0]) return 0;
  if (QFileInfo::exists(target)) return int(ERROR_ALREADY_EXISTS);
  return QDir().rename(sources[0], target) ? 0 : int(ERROR_ACCESS_DENIED);
}

}  // namespace

namespace shelldetail {

String UniqueFileName(const String& path) {
  if (!QFileInfo::exists(path)) return path;
  const QFileInfo info(path);
  const bool folder = info.isDir();
  const String dir = ExtractFilePath(path);
  const String name = ExtractFileName(path);
  const String extension = folder ? String() : ExtractFileExt(name);
  const String base = name.left(name.size() - extension.size());
  for (int n = 2;; ++n) {
    const String candidate = dir + base + QStringLiteral(" (%1)").arg(n) + extension;
    if (!QFileInfo::exists(candidate)) return candidate;
  }
}

}  // namespace shelldetail

int SHCreateDirectoryExW(HWND, LPCWSTR pszPath, const void*) {
  const String path = pszPath ? QDir::cleanPath(NormalizePath(String::fromUtf16(pszPath))) : String();
  if (!path.startsWith(QLatin1Char('/'))) return int(ERROR_BAD_PATHNAME);
  if (QFileInfo::exists(path)) return int(ERROR_ALREADY_EXISTS);
  return QDir().mkpath(path) ? 0 : int(ERROR_ACCESS_DENIED);
}

int SHFileOperationW(SHFILEOPSTRUCTW* op) {
  if (!op) return int(ERROR_INVALID_PARAMETER);
  op->fAnyOperationsAborted = FALSE;
  const QStringList given = parseList(op->pFrom);
  if (given.isEmpty()) return int(ERROR_INVALID_PARAMETER);
  bool wildcards = false;
  QStringList sources;
  for (const String& source : given)
    for (const String& path : expand(source, op->fFlags & FOF_FILESONLY, wildcards))
      if (!sources.contains(path)) sources << path;
  if (sources.isEmpty()) return int(ERROR_FILE_NOT_FOUND);
  switch (op->wFunc) {
    case FO_DELETE: return deleteItems(*op, sources);
    case FO_COPY:
    case FO_MOVE: return copyOrMove(*op, sources, wildcards);
    case FO_RENAME: return wildcards ? int(ERROR_INVALID_PARAMETER) : renameItem(sources, op->pTo);
    default: return int(ERROR_INVALID_PARAMETER);
  }
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR, LPCWSTR directory, INT) {
  auto answer = [](std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
  const String verb = operation ? String::fromUtf16(operation).toLower() : String();
  if (!verb.isEmpty() && verb != QLatin1String("open") && verb != QLatin1String("explore"))
    return answer(SE_ERR_NOASSOC);
  const String text = file ? String::fromUtf16(file).trimmed() : String();
  if (text.isEmpty()) return answer(SE_ERR_FNF);

  // "scheme:" of two or more letters is an address ("C:" would be a drive).
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
  QUrl url;
  if (scheme.match(text).hasMatch()) {
    url = QUrl(text);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) return answer(SE_ERR_FNF);
  } else {
    String path = NormalizePath(text);
    if (!path.startsWith(QLatin1Char('/'))) {
      const String base = directory ? NormalizePath(String::fromUtf16(directory)) : GetCurrentDir();
      path = IncludeTrailingPathDelimiter(base) + path;
    }
    if (!QFileInfo::exists(path)) return answer(SE_ERR_FNF);
    url = QUrl::fromLocalFile(QDir::cleanPath(path));
  }
  if (!url.isValid()) return answer(SE_ERR_FNF);
  return answer(QDesktopServices::openUrl(url) ? 42 : SE_ERR_NOASSOC);
}
