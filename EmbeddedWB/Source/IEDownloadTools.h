#pragma once
// Small routines shared by the page parser and the download component: task
// memory copies of strings, time and size texts, a case-insensitive lookup,
// the address check, and TUrl, which splits an address into its parts and
// hands them to the platform's URL functions.
#include "platform/classlib/Persistent.h"
#include "platform/rtl/Classes.h"
#include "platform/wininet/WinInet.h"

#include <QStringList>

#include <functional>

namespace IEDownloadTools {

// A zero-terminated copy of S in task memory; the receiver (or the platform,
// for an out-parameter) frees it with CoTaskMemFree. Null when out of memory.
WideChar* StrToCoTaskMem(const String& S);

// "hh:mm:ss" with each field taken modulo 60 (hours included).
String SecondsToTime(Integer Seconds);

// "01h :02m :03s :004ms", leaving out zero hours and then zero minutes; whole
// days are dropped ("00s :000ms" for exactly one day).
String MillisecondsToText(Cardinal Milliseconds);

// The index of the first item equal to S without regard to ASCII case, -1 when
// there is none.
int IndexOfText(const String& S, const QStringList& Items);

// The size with two decimals and thousands separators of FormatSettings, in
// bytes ("b"), kilobytes ("Kb") or megabytes ("Mb", however large); empty for
// no size.
String FormatSize(double Bytes);

// The URL moniker library's check: a well-formed address of a known protocol.
bool UrlIsValid(const String& Address);

// ---------------------------------------------------------------- TUrl

using TUrlErrorEvent = std::function<void(TObject* Sender, Integer ErrorCode, const String& ErrorText)>;

// An address and its parts. The platform record (Components) points into the
// part strings, so a TUrl is neither copied nor moved, and the record is valid
// until the parts change.
class TUrl : public TObject {
 public:
  explicit TUrl(const String& Address = String());
  TUrl(const TUrl&) = delete;
  TUrl& operator=(const TUrl&) = delete;
  String ClassName() const override { return QStringLiteral("TUrl"); }

  // Every part empty, Port 80, the record pointing nowhere.
  void Clear();
  // Splits the address by hand: scheme, user information, host (a bracketed
  // IPv6 host without its brackets), port, directory, document, parameters
  // (from "?", or from "=" without one) and bookmark; backslashes count as
  // slashes. Then points the record at the parts.
  void CrackUrl(const String& Address);
  // Splits the address with InternetCrackUrlW and the given ICU_ flags and
  // answers it; on failure the parts are cleared, OnError hears the system's
  // code and text (which also go to the debugger output) and the answer is
  // empty.
  String CrackUrlByApi(const String& Address, DWORD Flags);

  const URL_COMPONENTS& Components() const { return components_; }

  String Document;  // the file name part
  String Protocol;
  String Url;  // the whole address
  Integer Port = 80;
  String UrlPath;  // the directory part
  String HostName;
  String ExtraInfo;
  String UserName;
  String Password;
  String Bookmark;  // the part after "#"
  TUrlErrorEvent OnError;
  String Parameters;  // the part from "?" or "="

 private:
  void SplitPath(const String& Work, bool AfterAuthority);
  void PointRecordAtParts();

  URL_COMPONENTS components_;
};

// The proxy a component applies to the Internet settings (the page parser
// when it is loaded from a form with AutoLoadProxy, the download component
// for its bindings).
class TProxySettings : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(int Port READ Port WRITE SetPort)
  Q_PROPERTY(QString Server READ Server WRITE SetServer)
  Q_PROPERTY(bool AutoLoadProxy READ AutoLoadProxy WRITE SetAutoLoadProxy)

 public:
  explicit TProxySettings(QObject* parent = nullptr) : TPersistent(parent) {}
  int Port() const { return port_; }
  void SetPort(int v) { port_ = v; }
  const String& Server() const { return server_; }
  void SetServer(const String& v) { server_ = v; }
  bool AutoLoadProxy() const { return autoLoadProxy_; }
  void SetAutoLoadProxy(bool v) { autoLoadProxy_ = v; }

 private:
  int port_ = 80;
  String server_;
  bool autoLoadProxy_ = false;
};

}  // namespace IEDownloadTools
