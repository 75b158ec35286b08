#pragma once
// The base object, string lists, streams and threads.
#include "platform/rtl/SysUtils.h"

#include <QVector>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class QThread;

// The root of the system's classes that are not components.
class TObject {
 public:
  virtual ~TObject() = default;
  virtual String ClassName() const { return QStringLiteral("TObject"); }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// ---------------------------------------------------------------- streams

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
 public:
  String ClassName() const override { return QStringLiteral("TStream"); }
  // Reads up to `count` bytes; answers how many were read.
  virtual Int64 Read(void* buffer, Int64 count) = 0;
  // Writes up to `count` bytes; answers how many were written.
  virtual Int64 Write(const void* buffer, Int64 count) = 0;
  virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;

  Int64 GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(Int64 pos) { Seek(pos, soBeginning); }
  virtual Int64 GetSize();
  virtual void SetSize(Int64 newSize);

  // Raise EReadError / EWriteError when not everything moved.
  void ReadBuffer(void* buffer, Int64 count);
  void WriteBuffer(const void* buffer, Int64 count);
  // Copies `count` bytes from `source` (0: from its start to its end).
  Int64 CopyFrom(TStream& source, Int64 count);
  // Convenience: everything from the current position / write all bytes.
  QByteArray ReadAll();
  void WriteBytes(const QByteArray& bytes);
};

class TCustomMemoryStream : public TStream {
 public:
  String ClassName() const override { return QStringLiteral("TCustomMemoryStream"); }
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  const char* Memory() const { return data_.constData(); }
  const QByteArray& Bytes() const { return data_; }
  void SaveToStream(TStream& stream);
  void SaveToFile(const String& fileName);

 protected:
  QByteArray data_;
  Int64 position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  String ClassName() const override { return QStringLiteral("TMemoryStream"); }
  Int64 Write(const void* buffer, Int64 count) override;
  void SetSize(Int64 newSize) override;
  void Clear();
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const String& fileName);
};

// File modes, as the platform combines them: one open mode OR one share mode.
enum : Word {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareDenyNone = 0x0040,
  fmShareDenyWrite = 0x0020,
  fmShareExclusive = 0x0010,
  fmCreate = 0xFF00,
};

class TFileStream : public TStream {
 public:
  // Raises EFOpenError / EFCreateError with the file name on failure.
  TFileStream(const String& fileName, Word mode);
  ~TFileStream() override;
  String ClassName() const override { return QStringLiteral("TFileStream"); }
  Int64 Read(void* buffer, Int64 count) override;
  Int64 Write(const void* buffer, Int64 count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  void SetSize(Int64 newSize) override;
  const String& FileName() const { return fileName_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  String fileName_;
};

// A memory stream over the UTF-8 bytes of a string.
class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(const String& s = String());
  String ClassName() const override { return QStringLiteral("TStringStream"); }
  String DataString() const;  // the bytes as UTF-8
  void WriteString(const String& s);
  String ReadString(Int64 count);
};

// ---------------------------------------------------------------- string lists

class TStrings : public TObject {
 public:
  String ClassName() const override { return QStringLiteral("TStrings"); }

  int Count() const { return items_.size(); }
  String Get(int index) const;                   // EStringListError out of range
  virtual void Put(int index, const String& s);  // sorted lists refuse it
  String operator[](int index) const { return Get(index); }
  TObject* GetObject(int index) const;
  void PutObject(int index, TObject* obj);
  const QStringList& Strings() const { return items_; }

  virtual int Add(const String& s);
  int AddObject(const String& s, TObject* obj);
  virtual void Insert(int index, const String& s);
  void InsertObject(int index, const String& s, TObject* obj);
  virtual void Delete(int index);
  virtual void Clear();
  void Exchange(int a, int b);
  void Move(int from, int to);
  virtual int IndexOf(const String& s) const;  // case-insensitive, like the platform
  int IndexOfName(const String& name) const;
  int IndexOfObject(TObject* obj) const;
  void AddStrings(const TStrings& other);
  void AddStrings(const QStringList& other);
  virtual void Assign(const TStrings& other);
  void BeginUpdate();
  void EndUpdate();

  // Lines joined with CR LF, each line ended; setting splits on CR LF, LF or CR.
  String GetText() const;
  void SetText(const String& text);
  // Comma-separated, quoting items that hold blanks, commas or quotes.
  String GetCommaText() const;
  void SetCommaText(const String& text);
  String GetDelimitedText(QChar delimiter = ',') const;
  // "name=value" access.
  String Names(int index) const;
  String ValueFromIndex(int index) const;
  String Values(const String& name) const;
  void SetValue(const String& name, const String& value);  // empty value deletes

  // Lists kept by a control (the lines of a rich edit) may read and write
  // their own formats.
  virtual void LoadFromFile(const String& fileName);      // EFOpenError when unreadable
  virtual void SaveToFile(const String& fileName) const;  // UTF-8, CR LF; EFCreateError
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream) const;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changed();
  virtual void Changing();
  void CheckIndex(int index, bool allowEnd = false) const;
  QStringList items_;
  QVector<TObject*> objects_;
  int updateCount_ = 0;
  bool changedDuringUpdate_ = false;  // OnChange is due at the outermost EndUpdate
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
 public:
  TStringList() = default;
  ~TStringList() override;
  String ClassName() const override { return QStringLiteral("TStringList"); }

  int Add(const String& s) override;                 // sorted: at its place, per Duplicates
  void Insert(int index, const String& s) override;  // EListError when sorted
  int IndexOf(const String& s) const override;
  // Binary search in a sorted list; answers whether found and where it goes.
  bool Find(const String& s, int& index) const;
  void Sort();
  void CustomSort(const std::function<int(TStringList&, int, int)>& compare);

  bool GetSorted() const { return sorted_; }
  void SetSorted(bool value);
  bool GetCaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);
  TDuplicates Duplicates = dupIgnore;
  // When set, the list deletes its objects on Delete/Clear/destruction.
  bool OwnsObjects = false;

  void Put(int index, const String& s) override;
  void Delete(int index) override;
  void Clear() override;

 private:
  void SortBy(const std::function<bool(int, int)>& less);
  int CompareStrings(const String& a, const String& b) const;
  bool sorted_ = false;
  bool caseSensitive_ = false;
};

// ---------------------------------------------------------------- threads

// A worker thread. The base destructor runs after the derived part is gone,
// so a derived class whose Execute uses its own members calls Terminate() and
// WaitFor() in its destructor (unless FreeOnTerminate is set).
class TThread : public TObject {
 public:
  // A suspended thread waits for Start. Otherwise the thread starts when the
  // main thread's event loop next runs (or at WaitFor), once the derived
  // constructor has finished.
  explicit TThread(bool createSuspended);
  ~TThread() override;  // terminates and waits
  String ClassName() const override { return QStringLiteral("TThread"); }

  void Start();
  void Resume() { Start(); }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Waits for the end and answers ReturnValue. On the main thread, queued
  // Synchronize calls keep running while waiting, and OnTerminate has run when
  // it returns. A thread never started answers at once; a thread that frees
  // itself raises EInvalidOperation (it may be gone when the wait ends).
  int WaitFor();
  bool Finished() const;

  // When set, the thread object deletes itself (on the main thread) after
  // Execute returns and OnTerminate ran.
  bool FreeOnTerminate = false;
  int ReturnValue = 0;
  // Raised on the main thread after Execute returns.
  TNotifyEvent OnTerminate;
  // The exception Execute raised, or null.
  std::exception_ptr FatalException;

  // Runs `method` on the main thread and waits for it. Called from the main
  // thread, it runs at once.
  void Synchronize(const std::function<void()>& method);
  // Runs `method` on the main thread later, without waiting.
  static void Queue(const std::function<void()>& method);
  static bool IsMainThread();

 protected:
  virtual void Execute() = 0;

 private:
  class Runner;
  friend class Runner;
  void finishedOnMain();
  std::unique_ptr<Runner> runner_;
  std::atomic<bool> terminated_{false};
  bool started_ = false;
};
