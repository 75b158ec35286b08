#pragma once
// Pieces shared by the sources of the URL moniker layer: the transfer that a
// binding runs (libcurl, the file system, "about:"), the stream a binding
// fills, a string enumerator and address helpers.
#include "platform/urlmon/UrlMon.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <mutex>

namespace urlmon_detail {

// ---------------------------------------------------------------- addresses

// The scheme of an address, lower-cased; empty when it has none.
String SchemeOf(const String& url);
// The host of an address with an authority ("scheme://host..."), lower-cased.
String HostOf(const String& url);
// What CreateURLMonikerEx makes of an address (see there).
String CanonicalUrl(const String& url, bool canonicalize);
// The protocol class that GetBindResult names for an address.
CLSID ProtocolOf(const String& url);

// The interface `I` of a callback: by QueryInterface, else by its
// IServiceProvider under the interface's own id.
template <class I>
ComPtr<I> QueryCallback(IUnknown* callback) {
  ComPtr<I> found;
  if (!callback) return found;
  if (SUCCEEDED(callback->QueryInterface(IidOf<I>(), &found)) && found) return found;
  ComPtr<IServiceProvider> services;
  if (SUCCEEDED(callback->QueryInterface(IID_IServiceProvider, &services)) && services)
    services->QueryService(IidOf<I>(), IidOf<I>(), &found);
  return found;
}

// ---------------------------------------------------------------- transfers

struct TransferRequest {
  String url;
  DWORD verb = BINDVERB_GET;
  String customVerb;
  QByteArray body;            // of POST, PUT and custom verbs
  QList<QByteArray> headers;  // extra request lines "Name: value"
  bool followRedirects = true;
  bool ignoreSecurityProblems = false;
  bool disableBasicAuth = false;
};

// What a transfer reports, on the thread that runs it.
class TransferSink {
 public:
  virtual ~TransferSink() = default;
  virtual bool Aborted() = 0;
  virtual void Progress(ULONG status, const String& text) = 0;
  // The response the transfer is going to deliver (after redirects and
  // authentication): false stops the transfer.
  virtual bool Response(int statusCode, const String& head, const String& requestHeaders) = 0;
  // Credentials for a server that asks for them; false: none.
  virtual bool Credentials(String& user, String& password) = 0;
  // The server's certificate failed the check `problem` (an
  // ERROR_INTERNET_* code): true goes on without the check.
  virtual bool SecurityProblem(DWORD problem) = 0;
  // The body follows: its type, its length (-1: unknown), the address it
  // comes from and, for a file, the file's name.
  virtual void BeginBody(const String& mimeType, qint64 length, const String& finalUrl,
                         const String& localFile) = 0;
  virtual void Data(const char* bytes, qsizetype size) = 0;
};

struct TransferResult {
  HRESULT hr = S_OK;
  String error;  // empty on success
  String head;   // the delivered response's head (HTTP only)
};

// Runs the whole transfer on the calling thread.
TransferResult RunTransfer(const TransferRequest& request, TransferSink& sink);

// Counts the worker threads that are still running, so that finalizing can
// wait for them.
void WorkerStarted();
void WorkerEnded();
// Waits until no worker runs (at most `timeoutMs`); answers whether none does.
bool WaitForWorkers(int timeoutMs);

// ---------------------------------------------------------------- streams

// The stream a binding hands to OnDataAvailable: the bytes received so far,
// read from its own position. Reading past the received bytes answers
// E_PENDING while more may come and S_FALSE at the end; bytes are appended by
// the binding only. Safe to use from any thread.
// It holds a window of the body, not all of it: once more than kKeptConsumed
// bytes have been read, what the reader has consumed is dropped, and seeking
// before the window fails. A reader that reads nothing keeps everything.
class BindStream : public ComObject<IStream> {
 public:
  static constexpr qint64 kKeptConsumed = 1024 * 1024;

  void Append(QByteArray bytes);
  void Finish();
  // Every byte received so far, read or not.
  qint64 Size();

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) override;
  HRESULT SetSize(std::uint64_t libNewSize) override;
  HRESULT CopyTo(IStream* pstm, std::uint64_t cb, std::uint64_t* pcbRead, std::uint64_t* pcbWritten) override;
  HRESULT Commit(DWORD grfCommitFlags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) override;
  HRESULT UnlockRegion(std::uint64_t libOffset, std::uint64_t cb, DWORD dwLockType) override;
  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT Clone(IStream** ppstm) override;

 private:
  void dropConsumed();  // under the lock

  std::mutex lock_;
  QByteArray bytes_;  // the window: the body from base_ on
  qint64 base_ = 0;
  qint64 position_ = 0;
  bool finished_ = false;
};

// ---------------------------------------------------------------- enumerators

// An IEnumString over a fixed list.
class StringEnumerator : public ComObject<IEnumString> {
 public:
  explicit StringEnumerator(QStringList items, int position = 0)
      : items_(std::move(items)), position_(position) {}
  HRESULT Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) override;
  HRESULT Skip(ULONG celt) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumString** ppenum) override;

 private:
  QStringList items_;
  int position_;
};

// ---------------------------------------------------------------- binding

// Starts a binding of `url` for the moniker's BindToStorage (toObject false)
// or BindToObject.
HRESULT StartBinding(const String& url, IBindCtx* bindCtx, bool toObject, REFIID riid, void** ppv);

// Aborts every binding whose transfer still runs (finalizing).
void AbortAllBindings();

}  // namespace urlmon_detail
