#include "platform/rtl/Classes.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QtDebug>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <numeric>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

String systemErrorText(int err) { return QString::fromStdString(std::generic_category().message(err)); }

String openErrorMessage(const String& fileName, int err) {
  return QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, systemErrorText(err));
}

String createErrorMessage(const String& fileName, int err) {
  return QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, systemErrorText(err));
}

// Why a file cannot be written, judged after the fact from the folder it goes in.
int writeFailureReason(const String& fileName) {
  if (DirectoryExists(fileName)) return EISDIR;
  String dir = ExtractFileDir(NormalizePath(fileName));
  if (dir.isEmpty()) dir = QStringLiteral(".");
  if (!DirectoryExists(dir)) return FileExists(dir) ? ENOTDIR : ENOENT;
  if (::access(QFile::encodeName(dir).constData(), W_OK) != 0) return errno;
  return EIO;
}

// Reads as much as `count` allows, retrying after interruptions; -1 on error.
Int64 readFully(int fd, char* p, Int64 count) {
  Int64 done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd, p + done, size_t(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? done : -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

Int64 writeFully(int fd, const char* p, Int64 count) {
  Int64 done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd, p + done, size_t(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : -1;
    done += n;
  }
  return done;
}

}  // namespace

// ---------------------------------------------------------------- TStream

Int64 TStream::GetSize() {
  const Int64 pos = Seek(0, soCurrent);
  const Int64 size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(Int64) {}

void TStream::ReadBuffer(void* buffer, Int64 count) {
  if (count < 0) throw EReadError(QStringLiteral("Stream read error"));
  char* p = static_cast<char*>(buffer);
  while (count > 0) {
    const Int64 n = Read(p, count);
    if (n <= 0) throw EReadError(QStringLiteral("Stream read error"));
    p += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, Int64 count) {
  if (count < 0) throw EWriteError(QStringLiteral("Stream write error"));
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    const Int64 n = Write(p, count);
    if (n <= 0) throw EWriteError(QStringLiteral("Stream write error"));
    p += n;
    count -= n;
  }
}

Int64 TStream::CopyFrom(TStream& source, Int64 count) {
  if (count <= 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  const Int64 total = count;
  // A buffer of our own also keeps a stream copying from itself sound.
  QByteArray buffer(qsizetype(std::min<Int64>(count, 64 * 1024)), Qt::Uninitialized);
  while (count > 0) {
    const Int64 n = std::min<Int64>(count, buffer.size());
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.constData(), n);
    count -= n;
  }
  return total;
}

QByteArray TStream::ReadAll() {
  QByteArray result;
  QByteArray chunk(64 * 1024, Qt::Uninitialized);
  for (;;) {
    const Int64 n = Read(chunk.data(), chunk.size());
    if (n <= 0) break;
    result.append(chunk.constData(), qsizetype(n));
  }
  return result;
}

void TStream::WriteBytes(const QByteArray& bytes) { WriteBuffer(bytes.constData(), bytes.size()); }

// ---------------------------------------------------------------- memory streams

Int64 TCustomMemoryStream::Read(void* buffer, Int64 count) {
  if (count <= 0 || position_ < 0) return 0;
  const Int64 available = Int64(data_.size()) - position_;
  if (available <= 0) return 0;
  const Int64 n = std::min(count, available);
  std::memcpy(buffer, data_.constData() + position_, size_t(n));
  position_ += n;
  return n;
}

Int64 TCustomMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = Int64(data_.size()) + offset; break;
  }
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) { stream.WriteBytes(data_); }

void TCustomMemoryStream::SaveToFile(const String& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

Int64 TMemoryStream::Write(const void* buffer, Int64 count) {
  if (count <= 0 || position_ < 0) return 0;
  const char* src = static_cast<const char*>(buffer);
  // Growing may move the bytes: a source inside them is copied out first.
  if (src >= data_.constData() && src < data_.constData() + data_.size()) {
    const QByteArray copy(src, qsizetype(count));
    return Write(copy.constData(), count);
  }
  const Int64 end = position_ + count;
  const Int64 oldSize = data_.size();
  if (end > oldSize) {
    data_.resize(qsizetype(end));
    if (position_ > oldSize) std::memset(data_.data() + oldSize, 0, size_t(position_ - oldSize));
  }
  std::memcpy(data_.data() + position_, src, size_t(count));
  position_ = end;
  return count;
}

void TMemoryStream::SetSize(Int64 newSize) {
  newSize = std::max<Int64>(0, newSize);
  const Int64 oldSize = data_.size();
  data_.resize(qsizetype(newSize));
  if (newSize > oldSize) std::memset(data_.data() + oldSize, 0, size_t(newSize - oldSize));
  if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
  SetSize(0);
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const Int64 count = stream.GetSize();
  SetSize(count);
  if (count > 0) stream.ReadBuffer(data_.data(), count);
}

void TMemoryStream::LoadFromFile(const String& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

// ---------------------------------------------------------------- file streams

struct TFileStream::Impl {
  int fd = -1;
};

TFileStream::TFileStream(const String& fileName, Word mode)
    : impl_(std::make_unique<Impl>()), fileName_(fileName) {
  const QByteArray path = QFile::encodeName(NormalizePath(fileName));
  const bool create = (mode & fmCreate) == fmCreate;
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 3) {
      case fmOpenRead: flags |= O_RDONLY; break;
      case fmOpenWrite: flags |= O_WRONLY; break;
      case fmOpenReadWrite: flags |= O_RDWR; break;
      default: throw EFOpenError(openErrorMessage(fileName, EINVAL));
    }
  }
  int fd;
  do {
    fd = ::open(path.constData(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int err = errno;
    if (create) throw EFCreateError(createErrorMessage(fileName, err));
    throw EFOpenError(openErrorMessage(fileName, err));
  }
  // A folder opens for reading on this system, but it is no file.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw EFOpenError(openErrorMessage(fileName, EISDIR));
  }
  impl_->fd = fd;
}

TFileStream::~TFileStream() {
  if (impl_->fd >= 0) ::close(impl_->fd);
}

Int64 TFileStream::Read(void* buffer, Int64 count) {
  if (count <= 0) return 0;
  return std::max<Int64>(0, readFully(impl_->fd, static_cast<char*>(buffer), count));
}

Int64 TFileStream::Write(const void* buffer, Int64 count) {
  if (count <= 0) return 0;
  return std::max<Int64>(0, writeFully(impl_->fd, static_cast<const char*>(buffer), count));
}

Int64 TFileStream::Seek(Int64 offset, TSeekOrigin origin) {
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  return Int64(::lseek(impl_->fd, off_t(offset), whence));
}

void TFileStream::SetSize(Int64 newSize) {
  if (newSize < 0 || ::ftruncate(impl_->fd, off_t(newSize)) != 0) {
    const int err = newSize < 0 ? EINVAL : errno;
    throw EStreamError(
        QStringLiteral("Cannot change the size of \"%1\". %2").arg(fileName_, systemErrorText(err)));
  }
  if (GetPosition() > newSize) SetPosition(newSize);
}

// ---------------------------------------------------------------- string streams

TStringStream::TStringStream(const String& s) { data_ = s.toUtf8(); }

String TStringStream::DataString() const { return QString::fromUtf8(data_); }

void TStringStream::WriteString(const String& s) { WriteBytes(s.toUtf8()); }

String TStringStream::ReadString(Int64 count) {
  const Int64 available = std::max<Int64>(0, Int64(data_.size()) - std::max<Int64>(0, position_));
  QByteArray bytes(qsizetype(std::clamp<Int64>(count, 0, available)), Qt::Uninitialized);
  bytes.resize(qsizetype(Read(bytes.data(), bytes.size())));
  return QString::fromUtf8(bytes);
}

// ---------------------------------------------------------------- TStrings

namespace {

// Holds a BeginUpdate/EndUpdate bracket for the length of a scope.
class UpdateBracket {
 public:
  explicit UpdateBracket(TStrings& list) : list_(list) { list_.BeginUpdate(); }
  ~UpdateBracket() noexcept(false) { list_.EndUpdate(); }

 private:
  TStrings& list_;
};

bool isBlank(QChar c) { return c.unicode() <= ' '; }

// Splits delimited text: items are separated by the delimiter or by blanks
// outside quotes; a quoted item runs to the next lone quote ("" is one quote).
QStringList splitDelimited(const String& text, QChar delimiter) {
  QStringList out;
  const int n = text.size();
  int i = 0;
  while (i < n && isBlank(text[i])) ++i;
  while (i < n) {
    String item;
    if (text[i] == QLatin1Char('"')) {
      ++i;
      while (i < n) {
        if (text[i] == QLatin1Char('"')) {
          if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
            item += QLatin1Char('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      const int start = i;
      while (i < n && !isBlank(text[i]) && text[i] != delimiter) ++i;
      item = text.mid(start, i - start);
    }
    out << item;
    while (i < n && isBlank(text[i])) ++i;
    if (i < n && text[i] == delimiter) {
      if (i + 1 == n) out << String();  // a final delimiter ends with an empty item
      do ++i;
      while (i < n && isBlank(text[i]));
    }
  }
  return out;
}

String decodeUtf8(QByteArray bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  return QString::fromUtf8(bytes);
}

}  // namespace

void TStrings::CheckIndex(int index, bool allowEnd) const {
  if (index < 0 || index > Count() - (allowEnd ? 0 : 1))
    throw EStringListError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void TStrings::Changing() {
  if (updateCount_ > 0) {
    if (changedDuringUpdate_) return;
    changedDuringUpdate_ = true;
  }
  if (OnChanging) OnChanging(this);
}

void TStrings::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(this);
}

void TStrings::BeginUpdate() { ++updateCount_; }

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0 && changedDuringUpdate_) {
    changedDuringUpdate_ = false;
    if (OnChange) OnChange(this);
  }
}

String TStrings::Get(int index) const {
  CheckIndex(index);
  return items_[index];
}

void TStrings::Put(int index, const String& s) {
  CheckIndex(index);
  Changing();
  items_[index] = s;
  Changed();
}

TObject* TStrings::GetObject(int index) const {
  CheckIndex(index);
  return objects_[index];
}

void TStrings::PutObject(int index, TObject* obj) {
  CheckIndex(index);
  Changing();
  objects_[index] = obj;
  Changed();
}

int TStrings::Add(const String& s) {
  const int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const String& s, TObject* obj) {
  UpdateBracket bracket(*this);
  const int before = Count();
  const int index = Add(s);
  if (Count() > before) PutObject(index, obj);  // an ignored duplicate keeps its object
  return index;
}

void TStrings::Insert(int index, const String& s) {
  CheckIndex(index, true);
  Changing();
  items_.insert(index, s);
  objects_.insert(index, nullptr);
  Changed();
}

void TStrings::InsertObject(int index, const String& s, TObject* obj) {
  UpdateBracket bracket(*this);
  Insert(index, s);
  PutObject(index, obj);
}

void TStrings::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.removeAt(index);
  objects_.removeAt(index);
  Changed();
}

void TStrings::Clear() {
  if (Count() == 0) return;
  Changing();
  items_.clear();
  objects_.clear();
  Changed();
}

void TStrings::Exchange(int a, int b) {
  CheckIndex(a);
  CheckIndex(b);
  Changing();
  items_.swapItemsAt(a, b);
  objects_.swapItemsAt(a, b);
  Changed();
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from);
  CheckIndex(to);
  Changing();
  items_.move(from, to);
  objects_.move(from, to);
  Changed();
}

int TStrings::IndexOf(const String& s) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(items_[i], s)) return i;
  return -1;
}

int TStrings::IndexOfName(const String& name) const {
  for (int i = 0; i < Count(); ++i) {
    const int eq = items_[i].indexOf(QLatin1Char('='));
    if (eq >= 0 && SameText(items_[i].left(eq), name)) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* obj) const { return objects_.indexOf(obj); }

void TStrings::AddStrings(const TStrings& other) {
  const QStringList items = other.items_;  // copies: `other` may be this list
  const QVector<TObject*> objects = other.objects_;
  UpdateBracket bracket(*this);
  for (int i = 0; i < items.size(); ++i) AddObject(items[i], objects[i]);
}

void TStrings::AddStrings(const QStringList& other) {
  const QStringList items = other;
  UpdateBracket bracket(*this);
  for (const String& s : items) Add(s);
}

void TStrings::Assign(const TStrings& other) {
  if (&other == this) return;
  UpdateBracket bracket(*this);
  Clear();
  AddStrings(other);
}

String TStrings::GetText() const {
  String text;
  for (const String& s : items_) {
    text += s;
    text += QLatin1String("\r\n");
  }
  return text;
}

void TStrings::SetText(const String& text) {
  UpdateBracket bracket(*this);
  Clear();
  const int n = text.size();
  int start = 0;
  while (start < n) {
    int i = start;
    while (i < n && text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n')) ++i;
    Add(text.mid(start, i - start));
    if (i < n) {
      const bool crlf = text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n');
      i += crlf ? 2 : 1;
    }
    start = i;
  }
}

String TStrings::GetCommaText() const { return GetDelimitedText(QLatin1Char(',')); }

void TStrings::SetCommaText(const String& text) {
  const QStringList items = splitDelimited(text, QLatin1Char(','));
  UpdateBracket bracket(*this);
  Clear();
  for (const String& s : items) Add(s);
}

String TStrings::GetDelimitedText(QChar delimiter) const {
  // A lone empty item is written as "" so that it reads back as one item.
  if (Count() == 1 && items_[0].isEmpty()) return QStringLiteral("\"\"");
  QStringList parts;
  for (const String& s : items_) {
    const bool quote = std::any_of(
        s.begin(), s.end(), [&](QChar c) { return isBlank(c) || c == QLatin1Char('"') || c == delimiter; });
    if (quote) {
      String q = s;
      q.replace(QLatin1Char('"'), QLatin1String("\"\""));
      parts << QLatin1Char('"') + q + QLatin1Char('"');
    } else {
      parts << s;
    }
  }
  return parts.join(delimiter);
}

String TStrings::Names(int index) const {
  const String s = Get(index);
  const int eq = s.indexOf(QLatin1Char('='));
  return eq >= 0 ? s.left(eq) : String();
}

String TStrings::ValueFromIndex(int index) const {
  const String s = Get(index);
  const int eq = s.indexOf(QLatin1Char('='));
  return eq >= 0 ? s.mid(eq + 1) : String();
}

String TStrings::Values(const String& name) const {
  const int index = IndexOfName(name);
  return index >= 0 ? ValueFromIndex(index) : String();
}

void TStrings::SetValue(const String& name, const String& value) {
  const int index = IndexOfName(name);
  if (value.isEmpty()) {
    if (index >= 0) Delete(index);
  } else if (index < 0) {
    Add(name + QLatin1Char('=') + value);
  } else {
    // Replaced in place under the stored name, which keeps a sorted list in order.
    const String stored = items_[index];
    Changing();
    items_[index] = stored.left(stored.indexOf(QLatin1Char('=')) + 1) + value;
    Changed();
  }
}

void TStrings::LoadFromFile(const String& fileName) {
  bool ok = false;
  const String text = ReadTextFile(fileName, &ok);
  if (!ok) {
    TFileStream probe(fileName, fmOpenRead);  // raises with the system's reason
    throw EFOpenError(openErrorMessage(fileName, EIO));
  }
  SetText(text);
}

void TStrings::SaveToFile(const String& fileName) const {
  if (!WriteTextFileAtomic(fileName, GetText()))
    throw EFCreateError(createErrorMessage(fileName, writeFailureReason(fileName)));
}

void TStrings::LoadFromStream(TStream& stream) { SetText(decodeUtf8(stream.ReadAll())); }

void TStrings::SaveToStream(TStream& stream) const { stream.WriteBytes(GetText().toUtf8()); }

// ---------------------------------------------------------------- TStringList

namespace {

// A bottom-up merge sort of positions: stable, and safe whatever `less` answers.
void mergeSort(std::vector<int>& order, const std::function<bool(int, int)>& less) {
  const int n = int(order.size());
  std::vector<int> merged(order.size());
  for (int width = 1; width < n; width *= 2) {
    for (int lo = 0; lo < n - width; lo += 2 * width) {
      const int mid = lo + width, hi = std::min(lo + 2 * width, n);
      int i = lo, j = mid, k = lo;
      while (i < mid && j < hi) merged[k++] = less(order[j], order[i]) ? order[j++] : order[i++];
      while (i < mid) merged[k++] = order[i++];
      while (j < hi) merged[k++] = order[j++];
      std::copy(merged.begin() + lo, merged.begin() + hi, order.begin() + lo);
    }
  }
}

const char* const kSortedListError = "Operation not allowed on sorted list";

}  // namespace

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (OwnsObjects) {
    const QVector<TObject*> objects = objects_;
    objects_.fill(nullptr);
    for (TObject* obj : objects) delete obj;
  }
}

int TStringList::CompareStrings(const String& a, const String& b) const {
  return caseSensitive_ ? CompareStr(a, b) : CompareText(a, b);
}

bool TStringList::Find(const String& s, int& index) const {
  int lo = 0, hi = Count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (CompareStrings(items_[mid], s) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  index = lo;
  return lo < Count() && CompareStrings(items_[lo], s) == 0;
}

int TStringList::Add(const String& s) {
  if (!sorted_) return TStrings::Add(s);
  int index;
  if (Find(s, index)) {
    switch (Duplicates) {
      case dupIgnore: return index;
      case dupError: throw EStringListError(QStringLiteral("String list does not allow duplicates"));
      case dupAccept: break;
    }
  }
  TStrings::Insert(index, s);
  return index;
}

void TStringList::Insert(int index, const String& s) {
  if (sorted_) throw EStringListError(QString::fromLatin1(kSortedListError));
  TStrings::Insert(index, s);
}

void TStringList::Put(int index, const String& s) {
  if (sorted_) throw EStringListError(QString::fromLatin1(kSortedListError));
  TStrings::Put(index, s);
}

int TStringList::IndexOf(const String& s) const {
  if (sorted_) {
    int index;
    return Find(s, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(items_[i], s) == 0) return i;
  return -1;
}

void TStringList::SortBy(const std::function<bool(int, int)>& less) {
  if (Count() < 2) return;
  std::vector<int> order(static_cast<size_t>(Count()));
  std::iota(order.begin(), order.end(), 0);
  mergeSort(order, less);
  QStringList items;
  QVector<TObject*> objects;
  items.reserve(Count());
  objects.reserve(Count());
  for (int i : order) {
    items << items_[i];
    objects << objects_[i];
  }
  Changing();
  items_ = items;
  objects_ = objects;
  Changed();
}

void TStringList::Sort() {
  SortBy([this](int a, int b) { return CompareStrings(items_[a], items_[b]) < 0; });
}

void TStringList::CustomSort(const std::function<int(TStringList&, int, int)>& compare) {
  if (sorted_) return;  // a sorted list keeps its own order
  SortBy([&](int a, int b) { return compare(*this, a, b) < 0; });
}

void TStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) Sort();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  TObject* obj = objects_[index];
  TStrings::Delete(index);
  if (OwnsObjects) delete obj;
}

void TStringList::Clear() {
  const QVector<TObject*> objects = objects_;
  TStrings::Clear();
  if (OwnsObjects)
    for (TObject* obj : objects) delete obj;
}

// ---------------------------------------------------------------- threads
//
// Calls for the main thread wait in one queue. The main thread's event loop
// runs them (each push posts a call to the application object); a WaitFor or
// destructor on the main thread runs them while it waits, so a worker blocked
// in Synchronize can always finish.

namespace {

struct SyncJob {
  std::function<void()> method;
  const TThread* owner = nullptr;  // set for the start and finish calls of a thread object
  bool waited = false;             // a caller blocks in Synchronize until done
  bool done = false;
  std::exception_ptr error;
};

struct SyncQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<SyncJob>> jobs;
  std::vector<SyncJob*> running;  // nested while a call itself waits for a thread
};

SyncQueue& syncQueue() {
  static SyncQueue queue;
  return queue;
}

void warnUnhandled(const char* where, const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    qWarning("Unhandled exception in %s: %s", where, e.what());
  } catch (...) {
    qWarning("Unhandled exception in %s", where);
  }
}

// Runs every queued call on the calling (main) thread.
void runSyncJobs() {
  SyncQueue& q = syncQueue();
  for (;;) {
    std::shared_ptr<SyncJob> job;
    {
      std::lock_guard lock(q.mutex);
      if (q.jobs.empty()) return;
      job = q.jobs.front();
      q.jobs.pop_front();
      q.running.push_back(job.get());
    }
    try {
      job->method();
    } catch (...) {
      if (job->waited)
        job->error = std::current_exception();
      else
        warnUnhandled("a call queued for the main thread", std::current_exception());
    }
    {
      std::lock_guard lock(q.mutex);
      job->done = true;
      q.running.erase(std::find(q.running.begin(), q.running.end(), job.get()));
    }
    q.changed.notify_all();
  }
}

void postSyncJob(const std::shared_ptr<SyncJob>& job) {
  SyncQueue& q = syncQueue();
  {
    std::lock_guard lock(q.mutex);
    q.jobs.push_back(job);
  }
  q.changed.notify_all();
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(
        app, [] { runSyncJobs(); }, Qt::QueuedConnection);
}

// On the main thread: runs queued calls until `done` answers true.
void serveSyncJobsUntil(const std::function<bool()>& done) {
  SyncQueue& q = syncQueue();
  for (;;) {
    runSyncJobs();
    std::unique_lock lock(q.mutex);
    if (done()) return;
    q.changed.wait(lock, [&] { return !q.jobs.empty() || done(); });
  }
}

// Drops the queued calls of a thread object that goes away; off the main
// thread, also waits until none of them is running there.
void forgetSyncJobsOf(const TThread* owner, bool onMainThread) {
  SyncQueue& q = syncQueue();
  std::unique_lock lock(q.mutex);
  q.jobs.erase(std::remove_if(q.jobs.begin(), q.jobs.end(),
                              [&](const std::shared_ptr<SyncJob>& j) { return j->owner == owner; }),
               q.jobs.end());
  if (onMainThread) return;
  q.changed.wait(lock, [&] {
    return std::none_of(q.running.begin(), q.running.end(),
                        [&](const SyncJob* j) { return j->owner == owner; });
  });
}

}  // namespace

class TThread::Runner : public QThread {
 public:
  explicit Runner(TThread* owner) : owner_(owner) {}

  // What a wait needs to know even when OnTerminate deleted the object.
  struct State {
    std::atomic<bool> executed{false};  // Execute returned
    bool alive = true;                  // cleared by the destructor
    int returnValue = 0;                // ReturnValue as Execute left it
  };
  std::shared_ptr<State> state = std::make_shared<State>();
  std::atomic<bool> completed{false};  // the finish on the main thread began
  bool startPending = false;           // created running, not started yet
  bool destroying = false;

 protected:
  void run() override {
    TThread* owner = owner_;
    try {
      owner->Execute();
    } catch (...) {
      owner->FatalException = std::current_exception();
    }
    auto finish = std::make_shared<SyncJob>();
    finish->owner = owner;
    finish->method = [owner] { owner->finishedOnMain(); };
    state->returnValue = owner->ReturnValue;
    state->executed = true;
    // From here on the object may be deleted by the main thread at any time;
    // the finish waits for this function to return before it goes on.
    postSyncJob(finish);
  }

 private:
  TThread* owner_;
};

TThread::TThread(bool createSuspended) : runner_(std::make_unique<Runner>(this)) {
  if (createSuspended) return;
  // Started from the main thread's loop: Execute is not callable before the
  // derived constructor has run.
  runner_->startPending = true;
  auto start = std::make_shared<SyncJob>();
  start->owner = this;
  start->method = [this] {
    if (runner_->startPending) Start();
  };
  postSyncJob(start);
}

TThread::~TThread() {
  Runner& r = *runner_;
  const bool onMain = IsMainThread();
  r.destroying = true;
  if (started_ && !r.completed) {
    Terminate();
    if (onMain) {
      serveSyncJobsUntil([&] { return r.state->executed.load(); });
      finishedOnMain();  // OnTerminate still runs; no self-deletion while destroying
    } else {
      r.wait();
    }
  }
  r.state->alive = false;
  forgetSyncJobsOf(this, onMain);
}

void TThread::Start() {
  if (started_) return;
  started_ = true;
  runner_->startPending = false;
  runner_->start();
  if (!runner_->isRunning() && !runner_->isFinished()) {
    started_ = false;
    throw EOutOfResources(QStringLiteral("Cannot create a thread"));
  }
}

bool TThread::Finished() const { return runner_->state->executed; }

int TThread::WaitFor() {
  if (FreeOnTerminate) throw EInvalidOperation(QStringLiteral("Cannot wait for a thread that frees itself"));
  if (!started_) {
    if (!runner_->startPending) return ReturnValue;  // suspended and never started: nothing runs
    Start();
  }
  if (!IsMainThread()) {
    runner_->wait();
    return ReturnValue;
  }
  // The calls served meanwhile include this thread's finish, whose
  // OnTerminate may delete this object: only the shared state is safe to use.
  const std::shared_ptr<Runner::State> state = runner_->state;
  serveSyncJobsUntil([&] { return state->executed.load(); });
  if (!state->alive) return state->returnValue;
  finishedOnMain();
  return state->returnValue;
}

void TThread::finishedOnMain() {
  Runner& r = *runner_;
  if (r.completed.exchange(true)) return;  // WaitFor or the destructor ran it already
  r.wait();
  const std::shared_ptr<Runner::State> state = r.state;
  if (OnTerminate) {
    try {
      OnTerminate(this);
    } catch (...) {
      warnUnhandled("OnTerminate", std::current_exception());
    }
  }
  if (state->alive && FreeOnTerminate && !r.destroying) delete this;
}

void TThread::Synchronize(const std::function<void()>& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto job = std::make_shared<SyncJob>();
  job->method = method;
  job->waited = true;
  postSyncJob(job);
  SyncQueue& q = syncQueue();
  {
    std::unique_lock lock(q.mutex);
    q.changed.wait(lock, [&] { return job->done; });
  }
  if (job->error) std::rethrow_exception(job->error);
}

void TThread::Queue(const std::function<void()>& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto job = std::make_shared<SyncJob>();
  job->method = method;
  postSyncJob(job);
}

bool TThread::IsMainThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}
