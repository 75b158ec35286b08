// FindFirst / FindNext / FindClose over a snapshot of the folder's listing.
#include "platform/rtl/SysUtils.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <unordered_map>
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

constexpr qint64 kMSecsPerDay = 86400000;
// Days from the date-time base (1899-12-30) to 1970-01-01.
constexpr qint64 kUnixEpochDay = 25569;
constexpr qint64 kQuarterHour = 15 * 60 * 1000;

qint64 FloorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// File times as local date-times. Asking the zone for an offset reads its
// settings again each time; one listing asks once per quarter hour of the
// times it meets (zones change their offset on quarter hours), and for each
// time of a quarter hour that holds a change.
class LocalFileTimes {
 public:
  TDateTime operator()(qint64 utcMs) {
    const qint64 quarter = FloorDiv(utcMs, kQuarterHour);
    auto it = offsets_.find(quarter);
    if (it == offsets_.end()) {
      const int first = OffsetAt(quarter * kQuarterHour);
      const int last = OffsetAt((quarter + 1) * kQuarterHour - 1);
      it = offsets_.emplace(quarter, first == last ? first : kMixed).first;
    }
    const int offset = it->second == kMixed ? OffsetAt(utcMs) : it->second;
    const qint64 local = utcMs + qint64(offset) * 1000;
    const qint64 days = FloorDiv(local, kMSecsPerDay);
    const double fraction = double(local - days * kMSecsPerDay) / double(kMSecsPerDay);
    const qint64 day = days + kUnixEpochDay;
    // Before the base date the fraction still counts forward from midnight.
    return day < 0 ? double(day) - fraction : double(day) + fraction;
  }

 private:
  static constexpr int kMixed = INT_MIN;
  static int OffsetAt(qint64 utcMs) {
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc();
  }
  std::unordered_map<qint64, int> offsets_;
};

// The entry's record from one status read; an entry without a status (a
// link to nothing) is a read-only file of no size and no time.
TSearchRec RecordOf(const String& folder, const String& name, LocalFileTimes& times) {
  TSearchRec r;
  r.Name = name;
  struct stat st;
  const bool known = ::stat(QFile::encodeName(folder + QLatin1Char('/') + name).constData(), &st) == 0;
  const bool dir = known && S_ISDIR(st.st_mode);
  if (dir) r.Attr |= faDirectory;
  if (name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") && name != QLatin1String(".."))
    r.Attr |= faHidden;
  // The owner's bit, from the status already read (no access check per file).
  if (!known || !(st.st_mode & S_IWUSR)) r.Attr |= faReadOnly;
  if (!dir) r.Attr |= faArchive;
  if (known) {
    r.Size = dir ? 0 : Int64(st.st_size);
    r.TimeStamp = times(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
  }
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
  // The names in the order the folder lists them, the dots first; each
  // entry's status is read once.
  QStringList names;
  for (QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System); it.hasNext();) {
    it.next();
    names << it.fileName();
  }
  std::stable_partition(names.begin(), names.end(), [](const String& name) {
    return name == QLatin1String(".") || name == QLatin1String("..");
  });
  LocalFileTimes times;
  for (const String& name : names) {
    if (!every && !match.match(name).hasMatch()) continue;
    const TSearchRec r = RecordOf(dir.path(), name, times);
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
