#include "EmbeddedWB/Source/ImportFavorites.h"

#include "platform/classlib/Dialogs.h"
#include "platform/rtl/IniFiles.h"
#include "platform/winapi/Windows.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace ImportFavorites {

using ExportFavorites::ErrorDialog;

namespace {

// The longest name (with its extension) a file gets, in bytes: the file
// systems here take 255, and replacing the file later writes a temporary
// file of the same name with seven characters more.
constexpr int kMaxNameBytes = 255 - 7;
const QLatin1String kShortcutExt(".url");

LPCWSTR W(const String& s) { return reinterpret_cast<LPCWSTR>(s.utf16()); }

// Where `Token` starts in `Line`, case ignored; -1 when absent.
qsizetype Find(const String& Line, QLatin1String Token, qsizetype From = 0) {
  return Line.indexOf(Token, From, Qt::CaseInsensitive);
}

// The end of the tag that starts at `Start` ("<"): the first ">" outside
// quoted attribute values, or -1.
qsizetype TagEnd(const String& Line, qsizetype Start) {
  QChar quote;
  for (qsizetype i = Start; i < Line.size(); ++i) {
    const QChar c = Line[i];
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      return i;
    }
  }
  return -1;
}

// The value of the attribute `Name` inside the tag text; false when the tag
// has no such attribute.
bool AttributeValue(const String& Tag, const String& Name, String& Value) {
  static const QRegularExpression attribute(
      QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
  for (auto it = attribute.globalMatch(Tag); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (m.captured(1).compare(Name, Qt::CaseInsensitive) != 0) continue;
    Value.clear();
    for (int group = 2; group <= 4; ++group)
      if (m.capturedStart(group) >= 0) Value = m.captured(group);
    return true;
  }
  return false;
}

// The text after the tag that ends at `TagClose`, up to the next "<".
String TextAfter(const String& Line, qsizetype TagClose) {
  if (TagClose < 0) return String();
  const qsizetype end = Line.indexOf(QLatin1Char('<'), TagClose + 1);
  return Line.mid(TagClose + 1, end < 0 ? -1 : end - TagClose - 1);
}

// A link line: the address of its anchor's HREF and the anchor's text; a
// line without an anchor gives the first quoted text and what follows the
// next ">".
void ParseLink(const String& Line, String& Url, String& Name) {
  static const QRegularExpression anchor(QStringLiteral("<A[\\s>]"),
                                         QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = anchor.match(Line);
  if (m.hasMatch()) {
    const qsizetype close = TagEnd(Line, m.capturedStart());
    const String tag = Line.mid(m.capturedStart(), close < 0 ? -1 : close - m.capturedStart());
    if (AttributeValue(tag, QStringLiteral("HREF"), Url)) {
      Name = TextAfter(Line, close);
      return;
    }
  }
  const qsizetype first = Line.indexOf(QLatin1Char('"'));
  const qsizetype second = first < 0 ? -1 : Line.indexOf(QLatin1Char('"'), first + 1);
  Url = second < 0 ? String() : Line.mid(first + 1, second - first - 1);
  Name = first < 0 ? String() : TextAfter(Line, Line.indexOf(QLatin1Char('>'), first + 1));
}

// A folder line: the text of its H3 element.
String ParseFolder(const String& Line) {
  const qsizetype open = Find(Line, QLatin1String("<H3"));
  const qsizetype close = TagEnd(Line, open);
  if (close < 0) return String();
  const qsizetype end = Find(Line, QLatin1String("</H3"), close + 1);
  return Line.mid(close + 1, end < 0 ? -1 : end - close - 1);
}

// Writes the address into a shortcut file: a new file whole, an existing
// one through its ini form so that the rest of it stays.
bool WriteShortcut(const String& Path, const String& Url) {
  QFile file(Path);
  if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    const QByteArray text = "[InternetShortcut]\r\nURL=" + Url.toUtf8() + "\r\n";
    if (file.write(text) == text.size() && file.flush()) return true;
    file.remove();
    return false;
  }
  if (!QFileInfo(Path).isFile()) return false;
  try {
    TIniFile(Path).WriteString(QStringLiteral("InternetShortcut"), QStringLiteral("URL"), Url);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

String JoinFolder(const QStringList& Stack, int Level) {
  return QStringList(Stack.mid(1, Level)).join(QLatin1Char('\\'));
}

}  // namespace

String DecodeHtmlText(const String& Text) {
  if (!Text.contains(QLatin1Char('&'))) return Text;
  static const QRegularExpression reference(
      QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]{2,6});"));
  static const std::pair<const char*, char16_t> named[] = {
      {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}, {"nbsp", u'\u00A0'}};
  String out;
  qsizetype done = 0;
  for (auto it = reference.globalMatch(Text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    const String body = m.captured(1);
    char32_t code = 0;
    if (body.startsWith(QLatin1Char('#'))) {
      bool ok = false;
      const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
      code = body.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
      if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) continue;
    } else {
      for (const auto& [entity, c] : named)
        if (body.compare(QLatin1String(entity), Qt::CaseSensitive) == 0) code = c;
      if (!code) continue;
    }
    out += Text.mid(done, m.capturedStart() - done);
    out += String::fromUcs4(&code, 1);
    done = m.capturedEnd();
  }
  return out + Text.mid(done);
}

String BookmarkFileName(const String& Name, const String& Suffix) {
  String name = Name;
  for (QChar& c : name)
    if (QStringView(u"\"*/:<>?\\|").contains(c)) c = QLatin1Char('-');
  name = SafeFileName(Trim(name));
  const int room = kMaxNameBytes - int(Suffix.toUtf8().size());
  while (name.toUtf8().size() > room) {
    name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
  }
  return name + Suffix;
}

TUrlRecs ParseBookmarkLines(const QStringList& Lines) {
  TUrlRecs records;
  QStringList stack{String()};
  int level = 0;
  for (const String& raw : Lines) {
    const String line = TrimRight(raw);
    if (Find(line, QLatin1String("</DL>")) >= 0) {
      // A file with more closing lines than folders stays at the root.
      level = std::max(level - 1, 0);
    } else if (Find(line, QLatin1String("http://")) >= 0 || Find(line, QLatin1String("https://")) >= 0) {
      String url, name;
      ParseLink(line, url, name);
      url = Trim(DecodeHtmlText(url));
      name = DecodeHtmlText(name);
      if (url.isEmpty() && Trim(name).isEmpty()) continue;
      // The name leaves room for the extension the shortcut file gets.
      records.push_back({JoinFolder(stack, level),
                         BookmarkFileName(name, kShortcutExt).chopped(kShortcutExt.size()), url, level});
    } else if (Find(line, QLatin1String("<H3")) >= 0) {
      ++level;
      const String name = BookmarkFileName(DecodeHtmlText(ParseFolder(line)));
      if (stack.size() <= level) stack.resize(level + 1);
      stack[level] = name;
      records.push_back({JoinFolder(stack, level), String(), String(), level});
    }
  }
  return records;
}

// ---------------------------------------------------------------- TImportFavorite

TImportFavorite::TImportFavorite(TComponent* AOwner)
    : TFavoritesFileComponent(
          AOwner, QStringLiteral("TImportFavorite: imports a bookmark file into the Favorites folder.")),
      currentFilePath_(ExportFavorites::DefaultTargetPath()) {
  SuccessMessage()->Add(QStringLiteral(
      "The bookmarks have been imported into your favorites successfully!\n\rYou can find them in "
      "your favorites as a sub folder."));
}

TImportFavorite::~TImportFavorite() = default;

QStringList TImportFavorite::CreateEntries(const TUrlRecs& Records) const {
  QStringList failed;
  for (const TUrlRec& rec : Records) {
    const String folder = ExportFavorites::FolderComponents(rec.Folder).join(QLatin1Char('/'));
    const String dir = folder.isEmpty() ? targetFolder_ : targetFolder_ + QLatin1Char('/') + folder;
    if (rec.Name.isEmpty() && rec.Url.isEmpty()) {
      if (!CreateDirectoryW(W(dir), nullptr) && !QFileInfo(dir).isDir()) failed << folder;
      continue;
    }
    const String file = rec.Name + kShortcutExt;
    if (!WriteShortcut(dir + QLatin1Char('/') + file, rec.Url))
      failed << (folder.isEmpty() ? file : folder + QLatin1Char('/') + file);
  }
  return failed;
}

bool TImportFavorite::ImportFavorites() {
  if (currentFilePath_.isEmpty()) {
    ErrorDialog(QStringLiteral("The favorites file path is invalid.\n\rPlease change it."));
    return false;
  }
  if (currentFileName_.isEmpty()) {
    ErrorDialog(QStringLiteral("The Current file name is invalid.\n\rPlease change it."));
    return false;
  }
  if (Pos(QStringLiteral("htm"), currentFileName_) <= 1) {
    ErrorDialog(
        QStringLiteral("The target file name extention is invalid.\n\rPlease change it to \"*.htm\"."));
    return false;
  }
  if (targetSubFolder_.isEmpty()) {
    ErrorDialog(QStringLiteral("You must a proper sub folder name.\n\rPlease change it."));
    return false;
  }
  if (!CheckSuccessMessage()) return false;
  const String bookmarkFile =
      IncludeTrailingPathDelimiter(NormalizePath(currentFilePath_)) + currentFileName_;
  if (!FileExists(bookmarkFile)) {
    ErrorDialog(QStringLiteral("The Favorite file you specified does not exist in the current path."));
    return false;
  }
  TStringList lines;
  lines.LoadFromFile(bookmarkFile);

  const String root =
      ExcludeTrailingPathDelimiter(NormalizePath(ExportFavorites::ResolveFavoritesPath(FavoritesPath())));
  if (root.isEmpty()) return false;
  if (!DirectoryExists(root)) ForceDirectories(root);
  targetFolder_ = root + QLatin1Char('/') + NormalizePath(targetSubFolder_);
  CreateDirectoryW(W(targetFolder_), nullptr);
  if (!QFileInfo::exists(targetFolder_)) {
    ErrorDialog(QStringLiteral("The subfolder name you specified is invalid."));
    return false;
  }

  TUrlRecs records = ParseBookmarkLines(lines.Strings());
  ExportFavorites::SortUrlRecs(records);
  const QStringList failed = CreateEntries(records);
  if (!failed.isEmpty()) {
    constexpr int kListed = 10;
    String text =
        QStringLiteral("These favorites could not be written in \"") + targetFolder_ + QStringLiteral("\":");
    for (const String& entry : failed.mid(0, kListed)) text += QStringLiteral("\n") + entry;
    if (failed.size() > kListed) text += QStringLiteral("\n(and %1 more)").arg(failed.size() - kListed);
    ErrorDialog(text);
    return false;
  }

  ReportSuccess(SuccessMessage()->GetText());
  if (NarigateOnComplete()) ShowInBrowser(webBrowser_, bookmarkFile);
  return true;
}

void initialize() { RegisterClass<TImportFavorite>(); }

}  // namespace ImportFavorites
