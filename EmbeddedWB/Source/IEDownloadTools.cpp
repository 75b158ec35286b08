#include "EmbeddedWB/Source/IEDownloadTools.h"

#include "platform/com/Com.h"
#include "platform/urlmon/UrlMon.h"
#include "platform/winapi/Modules.h"

#include <algorithm>
#include <vector>

namespace IEDownloadTools {

namespace {

LPCWSTR wide(const String& text) { return reinterpret_cast<LPCWSTR>(text.utf16()); }

}  // namespace

WideChar* StrToCoTaskMem(const String& S) {
  const std::size_t chars = std::size_t(S.size()) + 1;
  auto* copy = static_cast<WideChar*>(CoTaskMemAlloc(chars * sizeof(WideChar)));
  if (copy == nullptr) return nullptr;
  std::fill_n(copy, chars, WideChar(0));
  std::copy_n(wide(S), S.size(), copy);
  return copy;
}

String SecondsToTime(Integer Seconds) {
  const Integer hours = Seconds / 3600;
  const Integer minutes = Seconds / 60;
  return Format(QStringLiteral("%2.2d:%2.2d:%2.2d"), {hours % 60, minutes % 60, Seconds % 60});
}

String MillisecondsToText(Cardinal Milliseconds) {
  String ms = QStringLiteral("000");
  String seconds = QStringLiteral("00");
  String minutes = seconds;
  String hours = seconds;
  if (Milliseconds > 0) {
    ms = Format(QStringLiteral("%.3d"), {Milliseconds % 1000});
    Cardinal t = Milliseconds / 1000;
    seconds = Format(QStringLiteral("%.2d"), {t % 60});
    t /= 60;
    minutes = Format(QStringLiteral("%.2d"), {t % 60});
    t /= 60;
    hours = Format(QStringLiteral("%.2d"), {t % 24});
  }
  const String tail = seconds + QStringLiteral("s :") + ms + QStringLiteral("ms");
  if (hours != QLatin1String("00"))
    return hours + QStringLiteral("h :") + minutes + QStringLiteral("m :") + tail;
  if (minutes != QLatin1String("00")) return minutes + QStringLiteral("m :") + tail;
  return tail;
}

int IndexOfText(const String& S, const QStringList& Items) {
  for (int i = 0; i < Items.size(); ++i)
    if (CompareText(S, Items[i]) == 0) return i;
  return -1;
}

String FormatSize(double Bytes) {
  if (!(Bytes > 0)) return String();  // no size, and not a number either
  if (Bytes < 1024) return Format(QStringLiteral("%.2n b"), {Bytes});
  const double kilobytes = Bytes / 1024;
  if (kilobytes < 1024) return Format(QStringLiteral("%.2n Kb"), {kilobytes});
  return Format(QStringLiteral("%.2n Mb"), {kilobytes / 1024});
}

bool UrlIsValid(const String& Address) { return IsValidURL(nullptr, wide(Address), 0) == S_OK; }

// ---------------------------------------------------------------- TUrl

namespace {

// A folder address gets its closing "/": one whose last "/" comes after its
// last "." (so not a bare host name or a file with an extension). Queries and
// bookmarks are left alone, and so is an address whose parameters start at
// "=": a slash there would become part of the parameters.
String WithTrailingSlash(const String& Address) {
  if (Address.endsWith(QLatin1Char('/'))) return Address;
  if (Address.contains(QLatin1Char('?')) || Address.contains(QLatin1Char('#')) ||
      Address.contains(QLatin1Char('=')))
    return Address;
  if (Address.lastIndexOf(QLatin1Char('/')) > Address.lastIndexOf(QLatin1Char('.')))
    return Address + QLatin1Char('/');
  return Address;
}

// Points one field pair of the record at a part; an empty part points nowhere.
void PointAt(const String& Part, LPWSTR& Pointer, DWORD& Length) {
  if (Part.isEmpty()) {
    Pointer = nullptr;
    Length = 0;
  } else {
    Pointer = const_cast<LPWSTR>(wide(Part));
    Length = DWORD(Part.size());
  }
}

}  // namespace

TUrl::TUrl(const String& Address) {
  Clear();
  if (!Address.isEmpty()) Url = Address;
}

void TUrl::Clear() {
  Document.clear();
  Protocol.clear();
  Url.clear();
  Port = 80;
  UrlPath.clear();
  HostName.clear();
  ExtraInfo.clear();
  UserName.clear();
  Password.clear();
  Bookmark.clear();
  Parameters.clear();
  components_ = URL_COMPONENTS();
  components_.dwStructSize = URL_COMPONENTS_SIZE32;
}

void TUrl::SplitPath(const String& Work, bool AfterAuthority) {
  qsizetype query = Work.indexOf(QLatin1Char('?'));
  if (query < 0) query = Work.indexOf(QLatin1Char('='));
  // The directory ends at the last "/" before the parameters and before a
  // bookmark: slashes inside either belong to them.
  qsizetype bound = query < 0 ? Work.size() : query;
  const qsizetype hash = Work.indexOf(QLatin1Char('#'));
  if (hash >= 0 && hash < bound) bound = hash;
  const qsizetype slash = bound > 0 ? Work.lastIndexOf(QLatin1Char('/'), bound - 1) : -1;
  const String directory = Work.left(slash + 1);
  UrlPath = AfterAuthority ? QLatin1Char('/') + directory : directory;
  String document;
  if (query >= 0) {
    Parameters = Work.mid(query);
    document = Work.mid(slash + 1, query - slash - 1);
  } else {
    document = Work.mid(slash + 1);
  }
  const qsizetype mark = document.indexOf(QLatin1Char('#'));
  if (mark >= 0) {
    Document = document.left(mark);
    Bookmark = document.mid(mark + 1);
  } else {
    Document = document;
  }
}

void TUrl::CrackUrl(const String& Address) {
  Clear();
  String work = Address;
  work.replace(QLatin1Char('\\'), QLatin1Char('/'));
  work = WithTrailingSlash(work);
  Url = work;

  const qsizetype schemeEnd = work.indexOf(QLatin1String("://"));
  if (schemeEnd >= 0) {
    Protocol = work.left(schemeEnd);
    work.remove(0, schemeEnd + 3);
    // Without a "/" after the host, everything left is the host's part.
    String authority;
    const qsizetype slash = work.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
      authority = work.left(slash);
      work.remove(0, slash + 1);
    } else {
      authority = work;
      work.clear();
    }
    const qsizetype at = authority.indexOf(QLatin1Char('@'));
    if (at >= 0) {
      const String userInfo = authority.left(at);
      authority.remove(0, at + 1);
      const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
      UserName = colon >= 0 ? userInfo.left(colon) : userInfo;
      if (colon >= 0 && !UserName.isEmpty()) Password = userInfo.mid(colon + 1);
    }
    String portText;
    const qsizetype open = authority.indexOf(QLatin1Char('['));
    const qsizetype close = open >= 0 ? authority.indexOf(QLatin1Char(']'), open + 1) : -1;
    if (close >= 0) {
      HostName = authority.mid(open + 1, close - open - 1);
      const qsizetype colon = authority.indexOf(QLatin1Char(':'), close + 1);
      if (colon >= 0) portText = authority.mid(colon + 1);
    } else {
      const qsizetype colon = authority.indexOf(QLatin1Char(':'));
      HostName = colon >= 0 ? authority.left(colon) : authority;
      if (colon >= 0) portText = authority.mid(colon + 1);
    }
    Port = StrToIntDef(portText, 80);
    SplitPath(work, true);
  } else {
    SplitPath(work, false);
  }
  if (Bookmark.isEmpty()) {
    const qsizetype mark = Parameters.indexOf(QLatin1Char('#'));
    if (mark >= 0) {
      Bookmark = Parameters.mid(mark + 1);
      Parameters.truncate(mark);
    }
  }
  if (ExtraInfo.isEmpty()) {
    ExtraInfo = Document + Parameters;
    if (!Bookmark.isEmpty()) ExtraInfo += QLatin1Char('#') + Bookmark;
  }
  PointRecordAtParts();
}

String TUrl::CrackUrlByApi(const String& Address, DWORD Flags) {
  Clear();
  Url = WithTrailingSlash(Address);
  std::vector<WCHAR> scheme(32), host(256), user(128), password(128), path(2048), extra(2084);
  URL_COMPONENTS& c = components_;
  c.lpszScheme = scheme.data();
  c.dwSchemeLength = DWORD(scheme.size());
  c.lpszHostName = host.data();
  c.dwHostNameLength = DWORD(host.size());
  c.lpszUserName = user.data();
  c.dwUserNameLength = DWORD(user.size());
  c.lpszPassword = password.data();
  c.dwPasswordLength = DWORD(password.size());
  c.lpszUrlPath = path.data();
  c.dwUrlPathLength = DWORD(path.size());
  c.lpszExtraInfo = extra.data();
  c.dwExtraInfoLength = DWORD(extra.size());
  if (!InternetCrackUrlW(wide(Address), 0, Flags, &c)) {
    const DWORD error = GetLastError();
    Clear();
    const String text = SysErrorMessage(error);
    if (OnError) OnError(this, Integer(error), text);
    OutputDebugStringW(wide(text));
    return String();
  }
  Protocol = String::fromUtf16(scheme.data(), c.dwSchemeLength);
  HostName = String::fromUtf16(host.data(), c.dwHostNameLength);
  UserName = String::fromUtf16(user.data(), c.dwUserNameLength);
  Password = String::fromUtf16(password.data(), c.dwPasswordLength);
  UrlPath = String::fromUtf16(path.data(), c.dwUrlPathLength);
  ExtraInfo = String::fromUtf16(extra.data(), c.dwExtraInfoLength);
  Port = c.nPort;
  // The buffers go when this returns; the record keeps pointing at the parts.
  PointRecordAtParts();
  return Address;
}

void TUrl::PointRecordAtParts() {
  URL_COMPONENTS& c = components_;
  c.dwStructSize = URL_COMPONENTS_SIZE32;
  PointAt(Protocol, c.lpszScheme, c.dwSchemeLength);
  PointAt(HostName, c.lpszHostName, c.dwHostNameLength);
  PointAt(UrlPath, c.lpszUrlPath, c.dwUrlPathLength);
  PointAt(UserName, c.lpszUserName, c.dwUserNameLength);
  PointAt(Password, c.lpszPassword, c.dwPasswordLength);
  PointAt(ExtraInfo, c.lpszExtraInfo, c.dwExtraInfoLength);
  // A port the record cannot hold is left out rather than cut short.
  if (Port > 0 && Port <= 65535) c.nPort = INTERNET_PORT(Port);
}

}  // namespace IEDownloadTools
