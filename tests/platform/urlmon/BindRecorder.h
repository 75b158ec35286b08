#pragma once
// A bind-status callback that records what a binding tells it (with the
// thread each call came on), reads the data stream as it grows, and answers
// the negotiation and authentication questions as a test sets them up; other
// interfaces a binding asks for come from its services.
#include "platform/urlmon/UrlMon.h"

#include <QThread>

#include <functional>
#include <vector>

struct BindEvent {
  enum Kind { Start, Progress, Data, Response, Stop };
  BindEvent(Kind k, ULONG s = 0, String t = String()) : kind(k), status(s), text(std::move(t)) {}
  Kind kind;
  ULONG status;  // progress status, data flags, response code
  String text;
  ULONG progress = 0, progressMax = 0;
  HRESULT result = S_OK;
  QThread* thread = nullptr;
};

class BindRecorder : public ComObject<IBindStatusCallback, IHttpNegotiate, IAuthenticate, IServiceProvider> {
 public:
  DWORD bindf =
      BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_NOWRITECACHE | BINDF_GETNEWESTVERSION;
  DWORD verb = BINDVERB_GET;
  QByteArray postBody;
  String extraHeaders;            // answered by BeginningTransaction
  HRESULT responseAnswer = S_OK;  // answered by OnResponse
  String user, password;          // answered by Authenticate (empty: refuse)
  // Runs inside each data notification.
  std::function<void(BindRecorder&)> onData;
  // Runs inside OnResponse, with the binding.
  std::function<void(IBinding*)> onResponse;
  // What QueryService hands out (whatever it answers of the interface asked
  // for); none when empty.
  ComPtr<IUnknown> service;

  std::vector<BindEvent> events;
  QByteArray body;
  ComPtr<IBinding> binding;
  bool stopped = false;
  HRESULT result = S_OK;
  int callsAfterStop = 0;
  int authenticateCalls = 0;

  // The progress statuses in order.
  std::vector<ULONG> Statuses() const {
    std::vector<ULONG> out;
    for (const BindEvent& e : events)
      if (e.kind == BindEvent::Progress) out.push_back(e.status);
    return out;
  }
  const BindEvent* FirstProgress(ULONG status) const {
    for (const BindEvent& e : events)
      if (e.kind == BindEvent::Progress && e.status == status) return &e;
    return nullptr;
  }
  std::vector<DWORD> DataFlags() const {
    std::vector<DWORD> out;
    for (const BindEvent& e : events)
      if (e.kind == BindEvent::Data) out.push_back(e.status);
    return out;
  }
  bool AllOnThread(QThread* thread) const {
    for (const BindEvent& e : events)
      if (e.thread != thread) return false;
    return true;
  }

  HRESULT OnStartBinding(DWORD, IBinding* pib) override {
    record({BindEvent::Start});
    binding = pib;
    return S_OK;
  }
  HRESULT GetPriority(LONG* pnPriority) override {
    *pnPriority = 0;
    return S_OK;
  }
  HRESULT OnLowResource(DWORD) override { return S_OK; }
  HRESULT OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                     LPCWSTR szStatusText) override {
    BindEvent e{BindEvent::Progress, ulStatusCode, OleStrToString(szStatusText)};
    e.progress = ulProgress;
    e.progressMax = ulProgressMax;
    record(e);
    return S_OK;
  }
  HRESULT OnStopBinding(HRESULT hresult, LPCWSTR szError) override {
    BindEvent e{BindEvent::Stop, 0, OleStrToString(szError)};
    e.result = hresult;
    record(e);
    stopped = true;
    result = hresult;
    return S_OK;
  }
  HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) override {
    *grfBINDF = bindf;
    pbindinfo->dwBindVerb = verb;
    if (!postBody.isEmpty()) {
      pbindinfo->stgmedData.tymed = TYMED_HGLOBAL;
      pbindinfo->stgmedData.hGlobal = postBody.data();
      pbindinfo->stgmedData.pUnkForRelease = nullptr;
      pbindinfo->cbstgmedData = DWORD(postBody.size());
    }
    return S_OK;
  }
  HRESULT OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pformatetc, STGMEDIUM* pstgmed) override {
    BindEvent e{BindEvent::Data, grfBSCF};
    e.progress = dwSize;
    record(e);
    if (pformatetc->tymed != TYMED_ISTREAM || pstgmed->tymed != TYMED_ISTREAM) return E_FAIL;
    char buffer[4096];
    for (;;) {
      ULONG read = 0;
      pstgmed->pstm->Read(buffer, sizeof buffer, &read);
      if (read == 0) break;
      body.append(buffer, read);
    }
    if (onData) onData(*this);
    return S_OK;
  }
  HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  HRESULT BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* pszAdditionalHeaders) override {
    *pszAdditionalHeaders = extraHeaders.isEmpty() ? nullptr : CoTaskMemDupString(extraHeaders);
    return S_OK;
  }
  HRESULT OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders, LPCWSTR,
                     LPWSTR* pszAdditionalRequestHeaders) override {
    *pszAdditionalRequestHeaders = nullptr;
    record({BindEvent::Response, dwResponseCode, OleStrToString(szResponseHeaders)});
    if (onResponse) onResponse(binding.Get());
    return responseAnswer;
  }
  HRESULT QueryService(REFGUID, REFIID riid, void** ppvObject) override {
    *ppvObject = nullptr;
    return service ? service->QueryInterface(riid, ppvObject) : E_NOINTERFACE;
  }
  HRESULT Authenticate(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword) override {
    ++authenticateCalls;
    *phwnd = nullptr;
    *pszUsername = user.isEmpty() ? nullptr : CoTaskMemDupString(user);
    *pszPassword = password.isEmpty() ? nullptr : CoTaskMemDupString(password);
    return user.isEmpty() ? E_ACCESSDENIED : S_OK;
  }

 private:
  void record(BindEvent e) {
    if (stopped) ++callsAfterStop;
    e.thread = QThread::currentThread();
    events.push_back(std::move(e));
  }
};

// Binds `url` to storage asynchronously through `recorder`; answers the
// result of BindToStorage.
inline HRESULT BindAsync(const QString& url, BindRecorder* recorder, IStream** streamOut = nullptr) {
  const std::u16string address = url.toStdU16String();
  ComPtr<IMoniker> moniker;
  HRESULT hr = CreateURLMonikerEx(nullptr, address.c_str(), &moniker, URL_MK_UNIFORM);
  if (FAILED(hr)) return hr;
  ComPtr<IBindCtx> bindCtx;
  hr = CreateAsyncBindCtx(0, recorder, nullptr, &bindCtx);
  if (FAILED(hr)) return hr;
  ComPtr<IStream> stream;
  hr = moniker->BindToStorage(bindCtx.Get(), nullptr, IID_IStream, &stream);
  if (streamOut) *streamOut = stream.Detach();
  return hr;
}
