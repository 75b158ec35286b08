// FindFirst / FindNext / FindClose over a snapshot of the folder's listing.
#include "platform/rtl/SysUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

struct TSearchState {
  std::vector<TSearchRec> entries;
  std::size_t next = 0;
};

namespace {

constexpr int kNoError = 0;
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kNoMoreFiles = 18;

int AttributesOf(const QFileInfo& info, const String& name) {
  int attr = 0;
  if (info.isDir()) attr |= faDirectory;
  if (name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") && name != QLatin1String(".."))
    attr |= faHidden;
  // The owner's bit, from the status already read (no access check per file).
  if (!info.permission(QFileDevice::WriteOwner)) attr |= faReadOnly;
  if (!info.isDir()) attr |= faArchive;
  return attr;
}

TSearchRec RecordOf(const QFileInfo& info, const String& name) {
  TSearchRec r;
  r.Name = name;
  r.Attr = AttributesOf(info, name);
  r.Size = info.isDir() ? 0 : info.size();
  r.TimeStamp = QDateTimeToDateTime(info.lastModified());
  return r;
}

// Moves the next entry of the state into F.
int TakeNext(TSearchRec& F) {
  TSearchState* state = F.FindHandle.get();
  if (!state || state->next >= state->entries.size()) return kNoMoreFiles;
  std::shared_ptr<TSearchState> keep = F.FindHandle;
  const int exclude = F.ExcludeAttr;
  F = state->entries[state->next++];
  F.FindHandle = std::move(keep);
  F.ExcludeAttr = exclude;
  return kNoError;
}

}  // namespace

int FindFirst(const String& Path, int Attr, TSearchRec& F) {
  FindClose(F);
  const String path = NormalizePath(Path);
  String folder = ExtractFileDir(path);
  if (folder.isEmpty()) folder = QStringLiteral(".");
  String pattern = ExtractFileName(path);
  if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");

  QDir dir(folder);
  if (!dir.exists() || !dir.isReadable()) return kPathNotFound;
  const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern),
                                 QRegularExpression::CaseInsensitiveOption);

  const bool every = pattern == QLatin1String("*");
  // Hidden and folder entries only when asked for; plain files always.
  const int exclude = ~Attr & (faHidden | faSysFile | faDirectory);
  auto state = std::make_shared<TSearchState>();
  const QDir::Filters filters = QDir::AllEntries | QDir::Hidden | QDir::System;
  // One listing with the entries' status read once.
  QFileInfoList infos = dir.entryInfoList(filters, QDir::Unsorted);
  std::stable_partition(infos.begin(), infos.end(), [](const QFileInfo& i) {
    return i.fileName() == QLatin1String(".") || i.fileName() == QLatin1String("..");
  });
  for (const QFileInfo& info : infos) {
    const String name = info.fileName();
    if (!every && !match.match(name).hasMatch()) continue;
    const TSearchRec r = RecordOf(info, name);
    if (r.Attr & exclude) continue;
    state->entries.push_back(r);
  }
  if (state->entries.empty()) return kFileNotFound;
  F.FindHandle = std::move(state);
  F.ExcludeAttr = exclude;
  return TakeNext(F);
}

int FindNext(TSearchRec& F) { return TakeNext(F); }

void FindClose(TSearchRec& F) { F.FindHandle.reset(); }
