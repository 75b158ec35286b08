#include "platform/richedit/RichEditControl.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "platform/classlib/ComCtrls.h"
#include "platform/richedit/Log_p.h"
#include "platform/winapi/Menus.h"

// ---------------------------------------------------------------- index space

namespace {

// Characters of the document as the control hands them out.
String AsControlText(String text) {
  for (QChar& c : text) {
    if (c == QChar::ParagraphSeparator)
      c = QLatin1Char('\r');
    else if (c == QChar::LineSeparator)
      c = QChar(0x0B);
  }
  return text;
}

String DocumentText(const QTextDocument* document) { return AsControlText(document->toRawText()); }

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

bool IsWholeWord(const String& text, int at, int length) {
  if (at > 0 && IsWordChar(text[at - 1])) return false;
  const int end = at + length;
  return end >= text.size() || !IsWordChar(text[end]);
}

}  // namespace

int TextLength(const QTextDocument* document) { return std::max(document->characterCount() - 1, 0); }

String GetTextRange(const QTextDocument* document, int from, int to) {
  const int length = TextLength(document);
  const int end = to < 0 ? length : std::min(to, length);
  const int start = std::clamp(from, 0, length);
  if (start >= end) return String();
  QTextCursor c(const_cast<QTextDocument*>(document));
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  return AsControlText(c.selectedText());
}

int FindText(const QTextDocument* document, const String& what, int from, int to, WPARAM flags) {
  if (what.isEmpty()) return -1;
  const String text = DocumentText(document);
  const int length = int(text.size());
  const int n = int(what.size());
  const Qt::CaseSensitivity cs = (flags & FR_MATCHCASE) ? Qt::CaseSensitive : Qt::CaseInsensitive;
  const bool whole = flags & FR_WHOLEWORD;
  if (flags & FR_DOWN) {
    const int lo = std::clamp(from, 0, length);
    const int hi = to < 0 ? length : std::clamp(to, 0, length);
    for (int i = int(text.indexOf(what, lo, cs)); i >= 0 && i + n <= hi;
         i = int(text.indexOf(what, i + 1, cs)))
      if (!whole || IsWholeWord(text, i, n)) return i;
    return -1;
  }
  const int hi = from < 0 ? length : std::clamp(from, 0, length);
  const int lo = to < 0 ? 0 : std::clamp(to, 0, length);
  for (int i = hi - n; i >= lo; --i) {
    i = int(text.lastIndexOf(what, i, cs));
    if (i < lo) break;
    if (!whole || IsWholeWord(text, i, n)) return i;
  }
  return -1;
}

// ---------------------------------------------------------------- state

namespace {

constexpr LONG kDefaultTextLimit = 32767;
constexpr LONG kZeroTextLimit = 65536;
const char* const kStateName = "RichEditState";

String FromBuffer(LPARAM p) { return p ? String::fromUtf16(reinterpret_cast<const char16_t*>(p)) : String(); }

// Copies text and a terminating zero into a caller's buffer; answers the characters copied.
LRESULT CopyWithZero(const String& text, LPWSTR buffer) {
  if (!buffer) return 0;
  std::copy_n(reinterpret_cast<const char16_t*>(text.utf16()), text.size(), buffer);
  buffer[text.size()] = 0;
  return text.size();
}

CHARRANGE SelectionOf(const QTextEdit* text) {
  const QTextCursor c = text->textCursor();
  return {LONG(c.selectionStart()), LONG(c.selectionEnd())};
}

WORD SelectionType(const CHARRANGE& r) {
  const LONG n = r.cpMax - r.cpMin;
  if (n <= 0) return SEL_EMPTY;
  return n > 1 ? WORD(SEL_TEXT | SEL_MULTICHAR) : SEL_TEXT;
}

COLORREF ToColorRef(const QColor& c) { return RGB(BYTE(c.red()), BYTE(c.green()), BYTE(c.blue())); }
QColor FromColorRef(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// What the control keeps besides its text: a child object of its widget, so
// it goes with the widget.
class RichEditState : public QObject {
 public:
  RichEditState(TCustomRichEdit& edit, QTextEdit* text) : QObject(text), edit_(&edit), text_(text) {
    setObjectName(QLatin1String(kStateName));
    lastSelection_ = SelectionOf(text);
    connect(text, &QTextEdit::selectionChanged, this, &RichEditState::SelectionMoved);
    connect(text, &QTextEdit::cursorPositionChanged, this, &RichEditState::SelectionMoved);
    connect(text->document(), &QTextDocument::contentsChange, this, [this](int pos, int, int added) {
      if (autoUrl_) ScanLinks(pos, added);
    });
    // The layout reports its progress through a long text with these.
    QAbstractTextDocumentLayout* layout = text->document()->documentLayout();
    connect(layout, &QAbstractTextDocumentLayout::update, this, &RichEditState::ShowLaidOutLinks);
    connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &RichEditState::ShowLaidOutLinks);
  }

  DWORD eventMask = ENM_NONE;
  IRichEditOleCallback* callback = nullptr;
  LONG textLimit = kDefaultTextLimit;
  LONG undoLimit = 100;
  RECT formatRect;
  bool formatRectSet = false;

  bool AutoUrl() const { return autoUrl_; }
  void SetAutoUrl(bool on) {
    if (on == autoUrl_) return;
    autoUrl_ = on;
    if (on) {
      ScanLinks(0, TextLength(text_->document()));
    } else {
      ForgetLinks();
      text_->viewport()->unsetCursor();
    }
  }

  // Before a new text goes in: every link mark is a cursor the document
  // would move on each insertion.
  void ForgetLinks() {
    pendingLinks_.clear();
    text_->setExtraSelections({});
  }

  void HideSelection(bool hide) {
    if (hide == selectionHidden_) return;
    selectionHidden_ = hide;
    QPalette pal = text_->palette();
    if (hide) {
      highlight_ = pal.color(QPalette::Highlight);
      highlightedText_ = pal.color(QPalette::HighlightedText);
      pal.setColor(QPalette::Highlight, Qt::transparent);
      pal.setColor(QPalette::HighlightedText, pal.color(QPalette::Text));
    } else {
      pal.setColor(QPalette::Highlight, highlight_);
      pal.setColor(QPalette::HighlightedText, highlightedText_);
    }
    text_->setPalette(pal);
  }

  // The link around a character: an automatically detected address or text
  // formatted as a link. cpMin is -1 when there is none.
  CHARRANGE LinkAt(int pos) const {
    if (pos < 0) return {-1, -1};
    const QList<QTextEdit::ExtraSelection> shown = text_->extraSelections();
    for (const auto* list : {&shown, &pendingLinks_})
      for (const QTextEdit::ExtraSelection& s : *list)
        if (s.cursor.selectionStart() <= pos && pos < s.cursor.selectionEnd())
          return {LONG(s.cursor.selectionStart()), LONG(s.cursor.selectionEnd())};
    const QTextBlock block = text_->document()->findBlock(pos);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (f.position() <= pos && pos < f.position() + f.length())
        return f.charFormat().isAnchor() ? CHARRANGE{LONG(f.position()), LONG(f.position() + f.length())}
                                         : CHARRANGE{-1, -1};
    }
    return {-1, -1};
  }

  // Sends a WM_NOTIFY record to the parent window; answers its result.
  LRESULT Notify(NMHDR& header, UINT code) const {
    if (!edit_ || !edit_->HandleAllocated()) return 0;
    const HWND hwnd = edit_->Handle();
    const HWND parent = GetParent(hwnd);
    if (!parent) return 0;
    header.hwndFrom = hwnd;
    header.idFrom = UINT_PTR(GetWindowLongPtr(hwnd, GWL_ID));
    header.code = code;
    return SendMessage(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  }

  // Sends a WM_COMMAND notification to the parent window.
  void Command(WORD code) const {
    if (!edit_ || !edit_->HandleAllocated()) return;
    const HWND hwnd = edit_->Handle();
    if (const HWND parent = GetParent(hwnd))
      SendMessage(parent, WM_COMMAND, MAKEWPARAM(WORD(GetWindowLongPtr(hwnd, GWL_ID)), code),
                  reinterpret_cast<LPARAM>(hwnd));
  }

 private:
  void SelectionMoved() {
    const CHARRANGE now = SelectionOf(text_);
    if (now.cpMin == lastSelection_.cpMin && now.cpMax == lastSelection_.cpMax) return;
    lastSelection_ = now;
    if (!(eventMask & ENM_SELCHANGE)) return;
    SELCHANGE record;
    record.chrg = now;
    record.seltyp = SelectionType(now);
    Notify(record.nmhdr, EN_SELCHANGE);
  }

  // Finds the addresses in the paragraphs a change touched and marks them as
  // links (drawn over the text, the document itself stays unchanged).
  void ScanLinks(int pos, int added) {
    static const QRegularExpression address(
        QStringLiteral(
            R"((?<![\w.@])(?:(?:https?|ftp|file|gopher|nntp|prospero|telnet|wais|news|mailto|outlook):)"
            R"(|www\.)[^\s<>"'{}|\\^`\[\]]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QTextDocument* doc = text_->document();
    const QTextBlock first = doc->findBlock(pos);
    QTextBlock last = doc->findBlock(pos + added);
    if (!last.isValid()) last = doc->lastBlock();
    const int from = first.position();
    const int to = last.position() + last.length();
    QList<QTextEdit::ExtraSelection> links;
    QList<QTextEdit::ExtraSelection> pending;
    const auto outside = [from, to](const QTextEdit::ExtraSelection& s) {
      return s.cursor.hasSelection() && (s.cursor.selectionEnd() <= from || s.cursor.selectionStart() >= to);
    };
    for (const QTextEdit::ExtraSelection& s : text_->extraSelections())
      if (outside(s)) links << s;
    for (const QTextEdit::ExtraSelection& s : pendingLinks_)
      if (outside(s)) pending << s;
    QTextCharFormat look;
    look.setForeground(QColor(0, 0, 255));
    look.setFontUnderline(true);
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
      const String line = b.text();
      for (auto it = address.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        String url = m.captured();
        while (!url.isEmpty() && String(QStringLiteral(".,;:!?)")).contains(url.back())) url.chop(1);
        if (url.size() <= 4) continue;
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(doc);
        s.cursor.setPosition(b.position() + int(m.capturedStart()));
        s.cursor.setPosition(b.position() + int(m.capturedStart() + url.size()), QTextCursor::KeepAnchor);
        s.format = look;
        (IsLaidOut(b) ? links : pending) << s;
      }
      if (b == last) break;
    }
    pendingLinks_ = pending;
    text_->setExtraSelections(links);
  }

  // A mark is shown once the layout has reached its paragraph: the view
  // asks where each new mark is, and for a paragraph not laid out yet that
  // would lay out the whole text up to it at once.
  static bool IsLaidOut(const QTextBlock& block) {
    const QTextLayout* layout = block.layout();
    return layout && layout->lineCount() > 0;
  }

  void ShowLaidOutLinks() {
    if (pendingLinks_.isEmpty()) return;
    QList<QTextEdit::ExtraSelection> links = text_->extraSelections();
    QList<QTextEdit::ExtraSelection> pending;
    QTextDocument* doc = text_->document();
    for (const QTextEdit::ExtraSelection& s : std::as_const(pendingLinks_))
      (IsLaidOut(doc->findBlock(s.cursor.selectionStart())) ? links : pending) << s;
    if (pending.size() == pendingLinks_.size()) return;
    pendingLinks_ = pending;
    text_->setExtraSelections(links);
  }

  QPointer<TCustomRichEdit> edit_;
  QTextEdit* text_;
  CHARRANGE lastSelection_;
  QList<QTextEdit::ExtraSelection> pendingLinks_;  // in paragraphs not laid out yet
  bool autoUrl_ = false;
  bool selectionHidden_ = false;
  QColor highlight_;
  QColor highlightedText_;
};

RichEditState* StateOf(TCustomRichEdit& edit, bool create) {
  QTextEdit* text = edit.TextEdit();
  if (!text) return nullptr;
  auto* state = static_cast<RichEditState*>(
      text->findChild<QObject*>(QLatin1String(kStateName), Qt::FindDirectChildrenOnly));
  if (!state && create) state = new RichEditState(edit, text);
  return state;
}

// ---------------------------------------------------------------- selection

// EM_EXSETSEL / EM_SETSEL: (0, -1) selects all, a start of -1 removes the
// selection, an end of -1 is the end of the text. Answers the end.
LONG Select(QTextEdit* text, LONG from, LONG to) {
  QTextCursor c = text->textCursor();
  const LONG length = TextLength(text->document());
  if (from < 0) {
    c.clearSelection();
  } else {
    const LONG end = to < 0 ? length : std::min(to, length);
    c.setPosition(std::min(from, length));
    c.setPosition(end, QTextCursor::KeepAnchor);
  }
  text->setTextCursor(c);
  return c.selectionEnd();
}

// ---------------------------------------------------------------- character formats

// Ranges of uniform format in [from, to).
struct Segment {
  int from;
  int to;
  QTextCharFormat format;
};

std::vector<Segment> SegmentsOf(const QTextDocument* doc, int from, int to) {
  std::vector<Segment> out;
  for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() < to; b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      const int s = std::max(f.position(), from);
      const int e = std::min(f.position() + f.length(), to);
      if (s < e) out.push_back({s, e, f.charFormat()});
    }
  return out;
}

using FormatChange = std::function<void(QTextCharFormat&)>;

// Changes the formats of [from, to) piece by piece (a change may remove
// properties, which merging cannot), the marks of paragraphs inside too.
void ChangeRange(QTextDocument* doc, int from, int to, const FormatChange& change) {
  QTextCursor c(doc);
  c.beginEditBlock();
  for (const Segment& s : SegmentsOf(doc, from, to)) {
    QTextCharFormat f = s.format;
    change(f);
    c.setPosition(s.from);
    c.setPosition(s.to, QTextCursor::KeepAnchor);
    c.setCharFormat(f);
  }
  for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= to; b = b.next()) {
    if (b.position() <= from && from > 0) continue;
    QTextCharFormat f = b.charFormat();
    change(f);
    QTextCursor mark(b);
    mark.setBlockCharFormat(f);
  }
  c.endEditBlock();
}

FormatChange ChangeOf(const CHARFORMAT2W& cf) {
  const bool extended = cf.cbSize == sizeof(CHARFORMAT2W);
  return [cf, extended](QTextCharFormat& f) {
    const DWORD mask = cf.dwMask;
    const DWORD effects = cf.dwEffects;
    if (mask & CFM_BOLD) f.setFontWeight((effects & CFE_BOLD) ? QFont::Bold : QFont::Normal);
    if (extended && (mask & CFM_WEIGHT) && cf.wWeight > 0)
      f.setFontWeight(std::clamp(int(cf.wWeight), 1, 1000));
    if (mask & CFM_ITALIC) f.setFontItalic(effects & CFE_ITALIC);
    if (mask & CFM_UNDERLINE) f.setFontUnderline(effects & CFE_UNDERLINE);
    if (mask & CFM_STRIKEOUT) f.setFontStrikeOut(effects & CFE_STRIKEOUT);
    if ((mask & CFM_SIZE) && cf.yHeight > 0) f.setFontPointSize(std::min(cf.yHeight, LONG(32760)) / 20.0);
    if (mask & CFM_FACE) {
      const char16_t* name = cf.szFaceName;
      const String face = String::fromUtf16(name, std::find(name, name + LF_FACESIZE, 0) - name);
      if (!face.isEmpty()) f.setFontFamilies(QStringList{face});
    }
    if (mask & CFM_COLOR) {
      if (effects & CFE_AUTOCOLOR)
        f.clearForeground();
      else
        f.setForeground(FromColorRef(cf.crTextColor));
    }
    if (extended && (mask & CFM_BACKCOLOR)) {
      if (effects & CFE_AUTOBACKCOLOR)
        f.clearBackground();
      else
        f.setBackground(FromColorRef(cf.crBackColor));
    }
    if (mask & CFM_LINK) {
      f.setAnchor(effects & CFE_LINK);
      if (!(effects & CFE_LINK)) f.clearProperty(QTextFormat::AnchorHref);
    }
  };
}

LRESULT SetCharFormat(TCustomRichEdit& edit, WPARAM scope, const CHARFORMAT2W* cf) {
  if (!cf || (cf->cbSize != sizeof(CHARFORMAT2W) && cf->cbSize != kCharFormatWSize)) return 0;
  QTextEdit* text = edit.TextEdit();
  QTextDocument* doc = text->document();
  const FormatChange change = ChangeOf(*cf);
  if (scope == SCF_DEFAULT) {
    // The default format is the control's font.
    TFont* font = edit.Font();
    QTextCharFormat f;
    change(f);
    const CharAttributes a = ResolveCharAttributes(f, DefaultCharAttributes(edit));
    if (cf->dwMask & CFM_FACE) font->SetName(a.Face);
    if (cf->dwMask & CFM_SIZE) font->SetSize(int(std::lround(a.PointSize)));
    TFontStyles style = font->GetStyle();
    const auto take = [&](DWORD bit, bool on, TFontStyle s) {
      if (!(cf->dwMask & bit)) return;
      if (on)
        style.Include(s);
      else
        style.Exclude(s);
    };
    take(CFM_BOLD, a.Bold, fsBold);
    take(CFM_ITALIC, a.Italic, fsItalic);
    take(CFM_UNDERLINE, a.Underline, fsUnderline);
    take(CFM_STRIKEOUT, a.StrikeOut, fsStrikeOut);
    font->SetStyle(style);
    if (cf->dwMask & CFM_COLOR) font->SetColor(a.Color.isValid() ? QColorToTColor(a.Color) : clWindowText);
    return 1;
  }
  QTextCursor c = text->textCursor();
  if ((scope & SCF_WORD) && !c.hasSelection()) c.select(QTextCursor::WordUnderCursor);
  int from = c.selectionStart(), to = c.selectionEnd();
  if (scope & SCF_ALL) {
    from = 0;
    to = TextLength(doc);
  }
  // What is inserted next takes the change too.
  QTextCharFormat next = edit.InsertFormat();
  change(next);
  edit.SetInsertFormat(next);
  edit.ChangeFormats([&] {
    if (from < to || (scope & SCF_ALL)) ChangeRange(doc, from, to, change);
    QTextCharFormat typing = text->currentCharFormat();
    change(typing);
    if (!text->textCursor().hasSelection()) text->setCurrentCharFormat(typing);
  });
  return 1;
}

// The attributes of the selection (or of what is typed next); the mask
// keeps the attributes that are the same throughout.
LRESULT GetCharFormat(TCustomRichEdit& edit, WPARAM scope, CHARFORMAT2W* cf) {
  if (!cf || (cf->cbSize != sizeof(CHARFORMAT2W) && cf->cbSize != kCharFormatWSize)) return 0;
  const bool extended = cf->cbSize == sizeof(CHARFORMAT2W);
  QTextEdit* text = edit.TextEdit();
  const CharAttributes defaults = DefaultCharAttributes(edit);
  std::vector<QTextCharFormat> formats;
  if (scope == SCF_DEFAULT) {
    formats.push_back(QTextCharFormat());
  } else {
    const QTextCursor c = text->textCursor();
    for (const Segment& s : SegmentsOf(text->document(), c.selectionStart(), c.selectionEnd()))
      formats.push_back(s.format);
    if (formats.empty()) {
      QTextCharFormat f = text->currentCharFormat();
      f.merge(edit.InsertFormat());
      formats.push_back(f);
    }
  }
  const auto backOf = [](const QTextCharFormat& f) {
    return f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush
               ? f.background().color()
               : QColor();
  };
  const CharAttributes a = ResolveCharAttributes(formats.front(), defaults);
  const QColor back = backOf(formats.front());
  const bool link = formats.front().isAnchor();
  DWORD mask = CFM_EFFECTS | CFM_SIZE | CFM_FACE | CFM_OFFSET | CFM_CHARSET;
  if (extended) mask |= CFM_BACKCOLOR | CFM_WEIGHT;
  for (std::size_t i = 1; i < formats.size(); ++i) {
    const CharAttributes b = ResolveCharAttributes(formats[i], defaults);
    if (b.Bold != a.Bold) mask &= ~(CFM_BOLD | CFM_WEIGHT);
    if (b.Italic != a.Italic) mask &= ~CFM_ITALIC;
    if (b.Underline != a.Underline) mask &= ~CFM_UNDERLINE;
    if (b.StrikeOut != a.StrikeOut) mask &= ~CFM_STRIKEOUT;
    if (b.Color != a.Color) mask &= ~CFM_COLOR;
    if (std::lround(b.PointSize * 20) != std::lround(a.PointSize * 20)) mask &= ~CFM_SIZE;
    if (b.Face != a.Face) mask &= ~CFM_FACE;
    if (backOf(formats[i]) != back) mask &= ~CFM_BACKCOLOR;
    if (formats[i].isAnchor() != link) mask &= ~CFM_LINK;
  }
  const UINT size = cf->cbSize;
  std::fill_n(reinterpret_cast<BYTE*>(cf), size, BYTE(0));
  cf->cbSize = size;
  cf->dwMask = mask;
  DWORD effects = 0;
  if (a.Bold) effects |= CFE_BOLD;
  if (a.Italic) effects |= CFE_ITALIC;
  if (a.Underline) effects |= CFE_UNDERLINE;
  if (a.StrikeOut) effects |= CFE_STRIKEOUT;
  if (link) effects |= CFE_LINK;
  if (!a.Color.isValid()) effects |= CFE_AUTOCOLOR;
  cf->yHeight = LONG(std::lround(a.PointSize * 20));
  cf->crTextColor = a.Color.isValid() ? ToColorRef(a.Color) : ToColorRef(TColorToQColor(clWindowText));
  cf->bCharSet = BYTE(edit.Font()->GetCharset());
  const int n = std::min<int>(a.Face.size(), LF_FACESIZE - 1);
  std::copy_n(reinterpret_cast<const char16_t*>(a.Face.utf16()), n, cf->szFaceName);
  if (extended) {
    cf->wWeight = WORD(a.Bold ? QFont::Bold : QFont::Normal);
    if (back.isValid())
      cf->crBackColor = ToColorRef(back);
    else
      effects |= CFE_AUTOBACKCOLOR;
  }
  cf->dwEffects = effects;
  return mask;
}

// ---------------------------------------------------------------- paragraph formats

LRESULT SetParaFormat(TCustomRichEdit& edit, const PARAFORMAT2* pf) {
  if (!pf || pf->cbSize < offsetof(PARAFORMAT2, dySpaceBefore)) return 0;
  if (!(pf->dwMask & PFM_ALIGNMENT)) return 1;
  Qt::Alignment align = Qt::AlignLeft;
  switch (pf->wAlignment) {
    case PFA_RIGHT: align = Qt::AlignRight; break;
    case PFA_CENTER: align = Qt::AlignHCenter; break;
    case PFA_JUSTIFY: align = Qt::AlignJustify; break;
    default: break;
  }
  QTextEdit* text = edit.TextEdit();
  edit.ChangeFormats([&] {
    QTextCursor c = text->textCursor();
    QTextBlockFormat f;
    f.setAlignment(align);
    c.mergeBlockFormat(f);
  });
  return 1;
}

LRESULT GetParaFormat(TCustomRichEdit& edit, PARAFORMAT2* pf) {
  if (!pf || pf->cbSize < offsetof(PARAFORMAT2, dySpaceBefore)) return 0;
  QTextEdit* text = edit.TextEdit();
  const QTextCursor c = text->textCursor();
  const QTextDocument* doc = text->document();
  const auto alignOf = [](const QTextBlock& b) -> WORD {
    const Qt::Alignment a = b.blockFormat().alignment();
    if (a & Qt::AlignHCenter) return PFA_CENTER;
    if (a & Qt::AlignRight) return PFA_RIGHT;
    if (a & Qt::AlignJustify) return PFA_JUSTIFY;
    return PFA_LEFT;
  };
  const QTextBlock first = doc->findBlock(c.selectionStart());
  const WORD align = alignOf(first);
  DWORD mask = PFM_ALIGNMENT;
  for (QTextBlock b = first.next(); b.isValid() && b.position() <= c.selectionEnd(); b = b.next())
    if (alignOf(b) != align) mask = 0;
  pf->dwMask = mask;
  pf->wAlignment = align;
  return mask;
}

// ---------------------------------------------------------------- paste

// Pastes from the clipboard once the callback agreed (a callback that asks
// for text gets plain text).
void Paste(TCustomRichEdit& edit, RichEditState* state) {
  if (edit.ReadOnly()) return;
  CLIPFORMAT format = 0;
  if (state && state->callback &&
      FAILED(state->callback->QueryAcceptData(nullptr, &format, RECO_PASTE, TRUE, nullptr)))
    return;
  QTextEdit* text = edit.TextEdit();
  if (format == CF_TEXT || format == CF_UNICODETEXT)
    text->insertPlainText(QApplication::clipboard()->text());
  else
    text->paste();
}

bool IsPasteKey(WPARAM key) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  return (key == 'V' && ctrl && !shift) || (key == VK_INSERT && shift && !ctrl);
}

// ---------------------------------------------------------------- geometry

// Client coordinates of the control's window are those of its widget; the
// text lies in the widget's viewport.
QPoint ToViewport(QTextEdit* text, int x, int y) { return text->viewport()->mapFrom(text, QPoint(x, y)); }

// The character under a viewport point, or -1.
int CharAt(QTextEdit* text, const QPoint& p) {
  const QPointF doc(p.x() + text->horizontalScrollBar()->value(), p.y() + text->verticalScrollBar()->value());
  const int pos = text->document()->documentLayout()->hitTest(doc, Qt::ExactHit);
  if (pos < 0) return -1;
  QTextCursor c(text->document());
  c.setPosition(pos);
  // A point right of a boundary lies on the character after it.
  return p.x() < text->cursorRect(c).x() ? pos - 1 : pos;
}

// The first paragraph with a part in view.
int FirstVisibleLine(QTextEdit* text) {
  const QAbstractTextDocumentLayout* layout = text->document()->documentLayout();
  const int top = text->verticalScrollBar()->value();
  QTextBlock b = text->cursorForPosition(QPoint(0, 0)).block();
  while (b.next().isValid() && layout->blockBoundingRect(b).bottom() <= top) b = b.next();
  return b.blockNumber();
}

void ScrollLines(QTextEdit* text, int columns, int lines) {
  if (lines) {
    const QTextDocument* doc = text->document();
    const int first = FirstVisibleLine(text);
    const QTextBlock target = doc->findBlockByNumber(std::clamp(first + lines, 0, doc->blockCount() - 1));
    text->verticalScrollBar()->setValue(int(doc->documentLayout()->blockBoundingRect(target).top()));
  }
  if (columns) {
    QScrollBar* bar = text->horizontalScrollBar();
    bar->setValue(bar->value() + columns * text->fontMetrics().averageCharWidth());
  }
}

void Scroll(QScrollBar* bar, WPARAM request) {
  switch (LOWORD(request)) {
    case SB_LINEUP: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case SB_LINEDOWN: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case SB_PAGEUP: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case SB_PAGEDOWN: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case SB_TOP: bar->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case SB_BOTTOM: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: bar->setValue(HIWORD(request)); break;
    default: break;
  }
}

// The formatting rectangle: the text's margin inside the widget follows its
// left and top inset (the document has one margin for all sides).
void SetFormatRect(QTextEdit* text, RichEditState& state, const RECT* rect) {
  if (!rect) {
    state.formatRectSet = false;
    text->document()->setDocumentMargin(4);
    return;
  }
  state.formatRect = *rect;
  state.formatRectSet = true;
  text->document()->setDocumentMargin(std::max<LONG>(0, std::min(rect->left, rect->top)));
}

RECT FormatRect(QTextEdit* text, const RichEditState* state) {
  if (state && state->formatRectSet) return state->formatRect;
  const QRect v = text->viewport()->geometry();
  const int m = int(text->document()->documentMargin());
  return RECT{v.left() + m, v.top() + m, v.right() + 1 - m, v.bottom() + 1 - m};
}

// ---------------------------------------------------------------- streams

LRESULT StreamIn(TCustomRichEdit& edit, WPARAM format, EDITSTREAM* stream) {
  if (!stream || !stream->pfnCallback) return 0;
  stream->dwError = 0;
  QByteArray data;
  BYTE buffer[4096];
  for (;;) {
    LONG got = 0;
    if (const DWORD error = stream->pfnCallback(stream->dwCookie, buffer, LONG(sizeof buffer), &got)) {
      qCDebug(lcRichEdit) << "reading the stream in ends with error" << error;
      stream->dwError = error;
      break;
    }
    if (got <= 0) break;
    data.append(reinterpret_cast<const char*>(buffer), std::min<LONG>(got, LONG(sizeof buffer)));
  }
  return LoadRichEditContent(edit, format, data);
}

LRESULT StreamOut(TCustomRichEdit& edit, WPARAM format, EDITSTREAM* stream) {
  if (!stream || !stream->pfnCallback) return 0;
  stream->dwError = 0;
  const QByteArray data = SaveRichEditContent(edit, format);
  BYTE buffer[4096];
  LONG done = 0;
  while (done < data.size()) {
    const LONG chunk = std::min<LONG>(LONG(sizeof buffer), LONG(data.size()) - done);
    std::copy_n(data.constData() + done, chunk, reinterpret_cast<char*>(buffer));
    LONG taken = 0;
    if (const DWORD error = stream->pfnCallback(stream->dwCookie, buffer, chunk, &taken)) {
      qCDebug(lcRichEdit) << "writing the stream out ends with error" << error;
      stream->dwError = error;
      break;
    }
    if (taken <= 0) break;  // the receiver takes nothing more
    done += std::min(taken, chunk);
  }
  return done;
}

// Text of a stream: UTF-16 with SF_UNICODE, else UTF-8 (with or without a
// byte-order mark), and code page 1252 for bytes that are no UTF-8.
String DecodeText(const QByteArray& bytes, WPARAM format) {
  if (format & SF_UNICODE) {
    QByteArray b = bytes;
    if (b.startsWith("\xFF\xFE")) b.remove(0, 2);
    return String::fromUtf16(reinterpret_cast<const char16_t*>(b.constData()), b.size() / 2);
  }
  QByteArray b = bytes;
  if (b.startsWith("\xEF\xBB\xBF")) b.remove(0, 3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const String text = utf8.decode(b);
  if (!utf8.hasError()) return text;
  return DecodeAnsi(b, 1252);  // older single-byte text
}

}  // namespace

// ---------------------------------------------------------------- content

CharAttributes DefaultCharAttributes(TCustomRichEdit& edit) {
  const TFont* font = edit.Font();
  CharAttributes a;
  a.Face = font->GetName();
  a.PointSize = std::max(1, font->GetSize());
  const TFontStyles style = font->GetStyle();
  a.Bold = style.Contains(fsBold);
  a.Italic = style.Contains(fsItalic);
  a.Underline = style.Contains(fsUnderline);
  a.StrikeOut = style.Contains(fsStrikeOut);
  if (ColorToRGB(font->GetColor()) != ColorToRGB(clWindowText))
    a.Color = TColorToQColor(ColorToRGB(font->GetColor()));
  return a;
}

QByteArray SaveRichEditContent(TCustomRichEdit& edit, WPARAM format) {
  const QTextEdit* text = edit.TextEdit();
  const QTextDocument* doc = text->document();
  int from = 0, to = TextLength(doc);
  if (format & SFF_SELECTION) {
    const QTextCursor c = text->textCursor();
    from = c.selectionStart();
    to = c.selectionEnd();
  }
  if ((format & 0xFF & SF_RTF) != 0) return WriteRtf(*doc, from, to, DefaultCharAttributes(edit));
  String plain = GetTextRange(doc, from, to);
  plain.replace(QLatin1Char('\r'), QLatin1String("\r\n"));
  if (format & SF_UNICODE) return QByteArray(reinterpret_cast<const char*>(plain.utf16()), plain.size() * 2);
  return plain.toUtf8();
}

int LoadRichEditContent(TCustomRichEdit& edit, WPARAM format, const QByteArray& bytes) {
  QTextEdit* text = edit.TextEdit();
  QTextDocument* doc = text->document();
  const bool selection = format & SFF_SELECTION;
  const bool rtf = (format & 0xFF & SF_RTF) != 0 && IsRtf(bytes);
  // A new text keeps no undo steps; none are recorded while it goes in.
  // The link marks are cursors the document would move on every insertion;
  // they are found again in the new text.
  const bool undo = doc->isUndoRedoEnabled();
  const auto restoreUndo = qScopeGuard([doc, undo] { doc->setUndoRedoEnabled(undo); });
  if (!selection) {
    doc->setUndoRedoEnabled(false);
    if (RichEditState* state = StateOf(edit, false)) state->ForgetLinks();
  }
  // The view's caret keeps out of the way while a new text goes in (as the
  // view's own setPlainText does): moved along to the end by the insertion
  // and put back, it would have the whole text laid out at once. The move
  // to the start is announced when the text is in.
  const int caretBefore = text->textCursor().position();
  const auto quietCaret = [text](const QTextCursor& caret) {
    const QSignalBlocker quiet(text);
    text->setTextCursor(caret);
  };
  if (!selection) quietCaret(QTextCursor());
  QTextCursor c = selection ? text->textCursor() : QTextCursor(doc);
  c.beginEditBlock();
  // A new text starts from an empty document inside the one edit, as
  // setPlainText does: the view then lays out what it shows first and the
  // rest a part at a time, not the whole text before it paints. The change
  // is announced once, when the text is in.
  if (selection) {
    c.removeSelectedText();
  } else {
    const QSignalBlocker quiet(doc);
    doc->clear();
  }
  int inserted = 0;
  if (rtf) {
    inserted = InsertRtf(c, ReadRtf(bytes), !selection);
  } else {
    String plain = DecodeText(bytes, format);
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!selection) {
      c.setBlockFormat(QTextBlockFormat());
      c.setBlockCharFormat(QTextCharFormat());
    }
    const int start = c.position();
    c.insertText(plain, selection ? edit.InsertFormat() : QTextCharFormat());
    inserted = c.position() - start;
  }
  if (!selection) quietCaret(QTextCursor(doc));
  c.endEditBlock();
  if (!selection) {
    // A new text: the caret at its start, nothing to undo, not modified.
    if (caretBefore != 0 || inserted > 0) emit text->cursorPositionChanged();
    doc->clearUndoRedoStacks();
    doc->setModified(false);
  } else {
    text->setTextCursor(c);
  }
  return inserted;
}

int FormatRange(const QTextDocument* document, QPainter* painter, const QRectF& area, int from, int to,
                bool render) {
  const int length = TextLength(document);
  const int end = to < 0 ? length : std::clamp(to, 0, length);
  const int start = std::clamp(from, 0, end);
  if (start >= end || !painter || !painter->device()) return end;

  QTextCursor range(const_cast<QTextDocument*>(document));
  range.setPosition(start);
  range.setPosition(end, QTextCursor::KeepAnchor);
  QTextDocument page;
  QFont font = document->defaultFont();
  // Sizes in pixels are screen pixels; the target device has its own.
  if (font.pixelSize() > 0) font.setPointSizeF(font.pixelSize() * 72.0 / TFont::PixelsPerInch);
  page.setDefaultFont(font);
  page.setDocumentMargin(0);
  page.documentLayout()->setPaintDevice(painter->device());
  QTextCursor(&page).insertFragment(QTextDocumentFragment(range));
  page.setTextWidth(area.width());

  // The lines that fit, from the top.
  qreal bottom = 0;
  int fit = 0;
  bool full = false;
  for (QTextBlock b = page.begin(); b.isValid() && !full; b = b.next()) {
    const QRectF box = page.documentLayout()->blockBoundingRect(b);
    const QTextLayout* layout = b.layout();
    for (int i = 0; i < layout->lineCount(); ++i) {
      const QTextLine line = layout->lineAt(i);
      const qreal lineBottom = box.top() + line.y() + line.height();
      if (lineBottom > area.height() && fit > 0) {
        full = true;
        break;
      }
      bottom = lineBottom;
      fit = b.position() + line.textStart() + line.textLength();
      if (i == layout->lineCount() - 1 && b.next().isValid()) fit = b.position() + b.length();
    }
  }
  if (render) {
    painter->save();
    painter->translate(area.topLeft());
    painter->setClipRect(QRectF(0, 0, area.width(), bottom));
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, 0, area.width(), bottom);
    page.documentLayout()->draw(painter, context);
    painter->restore();
  }
  return std::min(start + fit, end);
}

// ---------------------------------------------------------------- messages

void NotifyRichEditChange(TCustomRichEdit& edit) {
  if (!edit.WidgetAllocated()) return;
  RichEditState* state = StateOf(edit, false);
  if (state && (state->eventMask & ENM_CHANGE)) state->Command(EN_CHANGE);
}

bool HandleRichEditMessage(TCustomRichEdit& edit, TMessage& m) {
  const auto state = [&edit] { return StateOf(edit, true); };
  const auto text = [&edit] { return edit.TextEdit(); };
  const auto doc = [&edit] { return edit.TextEdit()->document(); };
  const LONG w = LONG(m.WParam);
  const LONG l = LONG(m.LParam);
  switch (m.Msg) {
    // ---- selection and text
    case EM_EXGETSEL:
      if (auto* r = reinterpret_cast<CHARRANGE*>(m.LParam)) *r = SelectionOf(text());
      m.Result = 0;
      return true;
    case EM_EXSETSEL: {
      const auto* r = reinterpret_cast<const CHARRANGE*>(m.LParam);
      m.Result = r ? Select(text(), r->cpMin, r->cpMax) : 0;
      return true;
    }
    case EM_GETSEL: {
      const CHARRANGE r = SelectionOf(text());
      if (auto* p = reinterpret_cast<DWORD*>(m.WParam)) *p = DWORD(r.cpMin);
      if (auto* p = reinterpret_cast<DWORD*>(m.LParam)) *p = DWORD(r.cpMax);
      m.Result =
          (r.cpMin > 0xFFFF || r.cpMax > 0xFFFF) ? -1 : LRESULT(MAKELONG(WORD(r.cpMin), WORD(r.cpMax)));
      return true;
    }
    case EM_SETSEL:
      Select(text(), w, l);
      m.Result = 0;
      return true;
    case EM_SELECTIONTYPE: m.Result = SelectionType(SelectionOf(text())); return true;
    case EM_GETSELTEXT: {
      const CHARRANGE r = SelectionOf(text());
      m.Result = CopyWithZero(GetTextRange(doc(), r.cpMin, r.cpMax), reinterpret_cast<LPWSTR>(m.LParam));
      return true;
    }
    case EM_GETTEXTRANGE: {
      auto* r = reinterpret_cast<TEXTRANGEW*>(m.LParam);
      m.Result = r ? CopyWithZero(GetTextRange(doc(), r->chrg.cpMin, r->chrg.cpMax), r->lpstrText) : 0;
      return true;
    }
    case EM_REPLACESEL:
      edit.SetSelText(FromBuffer(m.LParam));
      m.Result = 0;
      return true;
    case EM_FINDTEXT:
    case EM_FINDTEXTW: {
      const auto* f = reinterpret_cast<const FINDTEXTW*>(m.LParam);
      m.Result =
          f ? FindText(doc(), FromBuffer(LPARAM(f->lpstrText)), f->chrg.cpMin, f->chrg.cpMax, m.WParam) : -1;
      return true;
    }
    case EM_FINDTEXTEX:
    case EM_FINDTEXTEXW: {
      auto* f = reinterpret_cast<FINDTEXTEXW*>(m.LParam);
      if (!f) {
        m.Result = -1;
        return true;
      }
      const String what = FromBuffer(LPARAM(f->lpstrText));
      const int at = FindText(doc(), what, f->chrg.cpMin, f->chrg.cpMax, m.WParam);
      f->chrgText = at < 0 ? CHARRANGE{-1, -1} : CHARRANGE{LONG(at), LONG(at + what.size())};
      m.Result = at;
      return true;
    }

    // ---- lines
    case EM_GETLINECOUNT: m.Result = doc()->blockCount(); return true;
    case EM_LINEFROMCHAR:
    case EM_EXLINEFROMCHAR: {
      const LONG index = m.Msg == EM_LINEFROMCHAR ? w : l;
      const int pos =
          index < 0 ? text()->textCursor().selectionStart() : std::min<int>(index, TextLength(doc()));
      m.Result = doc()->findBlock(pos).blockNumber();
      return true;
    }
    case EM_LINEINDEX: {
      const int line = w < 0 ? text()->textCursor().block().blockNumber() : int(w);
      const QTextBlock b = doc()->findBlockByNumber(line);
      m.Result = b.isValid() ? b.position() : -1;
      return true;
    }
    case EM_LINELENGTH: {
      if (w < 0) {
        // The characters on the selection's lines that are not selected.
        const QTextCursor c = text()->textCursor();
        const QTextBlock first = doc()->findBlock(c.selectionStart());
        const QTextBlock last = doc()->findBlock(c.selectionEnd());
        m.Result = (c.selectionStart() - first.position()) +
                   (last.position() + last.length() - 1 - c.selectionEnd());
        return true;
      }
      const QTextBlock b = w > TextLength(doc()) ? QTextBlock() : doc()->findBlock(w);
      m.Result = b.isValid() ? b.length() - 1 : 0;
      return true;
    }
    case EM_GETLINE: {
      auto* buffer = reinterpret_cast<WCHAR*>(m.LParam);
      const QTextBlock b = w < 0 ? QTextBlock() : doc()->findBlockByNumber(w);
      if (!buffer || !b.isValid()) {
        m.Result = 0;
        return true;
      }
      const int capacity = *reinterpret_cast<const WORD*>(buffer);
      String line = GetTextRange(doc(), b.position(), b.position() + b.length() - 1);
      if (b.next().isValid()) line += QLatin1Char('\r');
      const int n = std::min<int>(capacity, line.size());
      std::copy_n(reinterpret_cast<const char16_t*>(line.utf16()), n, buffer);
      m.Result = n;
      return true;
    }

    // ---- view
    case EM_SCROLLCARET:
      text()->ensureCursorVisible();
      m.Result = 0;
      return true;
    case EM_LINESCROLL:
      ScrollLines(text(), w, l);
      m.Result = TRUE;
      return true;
    case EM_GETFIRSTVISIBLELINE: m.Result = FirstVisibleLine(text()); return true;
    case WM_VSCROLL:
    case WM_HSCROLL:
      Scroll(m.Msg == WM_VSCROLL ? text()->verticalScrollBar() : text()->horizontalScrollBar(), m.WParam);
      m.Result = 0;
      return true;
    case EM_POSFROMCHAR: {
      auto* p = reinterpret_cast<POINT*>(m.WParam);
      QTextCursor c(doc());
      c.setPosition(std::clamp(l, LONG(0), LONG(TextLength(doc()))));
      const QPoint at = text()->viewport()->mapTo(text(), text()->cursorRect(c).topLeft());
      if (p) *p = POINT{at.x(), at.y()};
      m.Result = 0;
      return true;
    }
    case EM_CHARFROMPOS: {
      const auto* p = reinterpret_cast<const POINT*>(m.LParam);
      m.Result = p ? text()->cursorForPosition(ToViewport(text(), p->x, p->y)).position() : 0;
      return true;
    }
    case WM_SETREDRAW:
      text()->setUpdatesEnabled(m.WParam != 0);
      if (m.WParam) text()->viewport()->update();
      m.Result = 0;
      return true;
    case EM_HIDESELECTION:
      state()->HideSelection(m.WParam != 0);
      m.Result = 0;
      return true;
    case EM_SETBKGNDCOLOR: {
      QPalette pal = text()->palette();
      m.Result = LRESULT(ToColorRef(pal.color(QPalette::Base)));
      pal.setColor(QPalette::Base,
                   m.WParam ? TColorToQColor(ColorToRGB(clWindow)) : FromColorRef(COLORREF(m.LParam)));
      text()->setPalette(pal);
      return true;
    }
    case EM_GETRECT:
      if (auto* r = reinterpret_cast<RECT*>(m.LParam)) *r = FormatRect(text(), StateOf(edit, false));
      m.Result = 0;
      return true;
    case EM_SETRECT:
    case EM_SETRECTNP:
      SetFormatRect(text(), *state(), reinterpret_cast<const RECT*>(m.LParam));
      m.Result = 0;
      return true;

    // ---- formats
    case EM_SETCHARFORMAT:
      m.Result = SetCharFormat(edit, m.WParam, reinterpret_cast<const CHARFORMAT2W*>(m.LParam));
      return true;
    case EM_GETCHARFORMAT:
      m.Result = GetCharFormat(edit, m.WParam, reinterpret_cast<CHARFORMAT2W*>(m.LParam));
      return true;
    case EM_SETPARAFORMAT:
      m.Result = SetParaFormat(edit, reinterpret_cast<const PARAFORMAT2*>(m.LParam));
      return true;
    case EM_GETPARAFORMAT:
      m.Result = GetParaFormat(edit, reinterpret_cast<PARAFORMAT2*>(m.LParam));
      return true;

    // ---- state
    case EM_SETEVENTMASK: {
      RichEditState* s = state();
      m.Result = s->eventMask;
      s->eventMask = DWORD(m.LParam);
      return true;
    }
    case EM_GETEVENTMASK: m.Result = state()->eventMask; return true;
    case EM_GETMODIFY: m.Result = edit.Modified(); return true;
    case EM_SETMODIFY:
      edit.SetModified(m.WParam != 0);
      m.Result = 0;
      return true;
    case EM_SETREADONLY:
      edit.SetReadOnly(m.WParam != 0);
      m.Result = TRUE;
      return true;
    case EM_LIMITTEXT:
      state()->textLimit = w > 0 ? w : kZeroTextLimit;
      m.Result = 0;
      return true;
    case EM_EXLIMITTEXT:
      state()->textLimit = l > 0 ? l : kZeroTextLimit;
      m.Result = 0;
      return true;
    case EM_GETLIMITTEXT: m.Result = state()->textLimit; return true;
    case EM_AUTOURLDETECT:
      state()->SetAutoUrl(m.WParam != 0);
      m.Result = 0;
      return true;
    case EM_GETAUTOURLDETECT: m.Result = state()->AutoUrl(); return true;
    case EM_SETOLECALLBACK:
      state()->callback = reinterpret_cast<IRichEditOleCallback*>(m.LParam);
      m.Result = TRUE;
      return true;

    // ---- undo
    case EM_CANUNDO: m.Result = doc()->isUndoAvailable(); return true;
    case EM_CANREDO: m.Result = doc()->isRedoAvailable(); return true;
    case EM_UNDO:
      m.Result = doc()->isUndoAvailable();
      text()->undo();
      return true;
    case EM_REDO:
      m.Result = doc()->isRedoAvailable();
      text()->redo();
      return true;
    case EM_EMPTYUNDOBUFFER:
      doc()->clearUndoRedoStacks();
      m.Result = 0;
      return true;
    case EM_SETUNDOLIMIT: {
      // Undo is on or off; the number of steps is not bounded.
      RichEditState* s = state();
      s->undoLimit = std::max<LONG>(w, 0);
      doc()->setUndoRedoEnabled(s->undoLimit > 0);
      m.Result = s->undoLimit;
      return true;
    }

    // ---- clipboard and streams
    case EM_CANPASTE: m.Result = text()->canPaste(); return true;
    case WM_PASTE:
    case EM_PASTESPECIAL:
      Paste(edit, StateOf(edit, false));
      m.Result = 0;
      return true;
    case EM_STREAMIN:
      m.Result = StreamIn(edit, m.WParam, reinterpret_cast<EDITSTREAM*>(m.LParam));
      return true;
    case EM_STREAMOUT:
      m.Result = StreamOut(edit, m.WParam, reinterpret_cast<EDITSTREAM*>(m.LParam));
      return true;
    case EM_FORMATRANGE: {
      const auto* r = reinterpret_cast<const FORMATRANGE*>(m.LParam);
      if (!r || !r->hdc || !r->hdc->device()) {
        m.Result = 0;  // nothing cached to free
        return true;
      }
      const QPaintDevice* device = r->hdc->device();
      const double dx = device->logicalDpiX() / 1440.0, dy = device->logicalDpiY() / 1440.0;
      const QRectF area(r->rc.left * dx, r->rc.top * dy, (r->rc.right - r->rc.left) * dx,
                        (r->rc.bottom - r->rc.top) * dy);
      m.Result = FormatRange(doc(), r->hdc, area, r->chrg.cpMin, r->chrg.cpMax, m.WParam != 0);
      return true;
    }

    // ---- input
    case WM_CONTEXTMENU: {
      RichEditState* s = StateOf(edit, false);
      OwnedMenu menu;
      if (s && s->callback) {
        CHARRANGE range = SelectionOf(text());
        HMENU given = nullptr;
        if (SUCCEEDED(s->callback->GetContextMenu(SelectionType(range), nullptr, &range, &given)))
          menu.reset(given);
      }
      const HWND hwnd = edit.HandleAllocated() ? edit.Handle() : nullptr;
      const HWND parent = hwnd ? GetParent(hwnd) : nullptr;
      if (!menu) {
        // The control has no menu of its own: the parent may show one.
        m.Result = parent ? SendMessage(parent, WM_CONTEXTMENU, m.WParam, m.LParam) : 0;
        return true;
      }
      QPoint at(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      if (m.LParam == LPARAM(-1)) at = text()->viewport()->mapToGlobal(text()->cursorRect().bottomLeft());
      TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x(), at.y(), 0, parent ? parent : hwnd,
                     nullptr);
      m.Result = 1;
      return true;
    }
    case WM_KEYDOWN:
      if (!IsPasteKey(m.WParam)) return false;
      Paste(edit, StateOf(edit, false));
      m.Result = 0;
      return true;
    case WM_CHAR: {
      const WideChar c = WideChar(m.WParam);
      if (c == 0x16) {
        m.Result = 0;  // Ctrl+V: pasted on the key press
        return true;
      }
      if (c < 0x20 && c != u'\r' && c != u'\t') return false;
      if (edit.ReadOnly()) return false;
      RichEditState* s = StateOf(edit, false);
      const LONG limit = s ? s->textLimit : kDefaultTextLimit;
      const CHARRANGE r = SelectionOf(text());
      if (TextLength(doc()) - (r.cpMax - r.cpMin) < limit) return false;
      if (s) s->Command(EN_MAXTEXT);
      m.Result = 0;
      return true;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
      RichEditState* s = StateOf(edit, false);
      if (!s) return false;
      const QPoint p = ToViewport(text(), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      ENLINK link;
      link.chrg = s->LinkAt(CharAt(text(), p));
      if (m.Msg == WM_MOUSEMOVE && s->AutoUrl()) {
        if (link.chrg.cpMin >= 0)
          text()->viewport()->setCursor(Qt::PointingHandCursor);
        else
          text()->viewport()->setCursor(Qt::IBeamCursor);
      }
      if (link.chrg.cpMin < 0 || !(s->eventMask & ENM_LINK)) return false;
      link.msg = m.Msg;
      link.wParam = m.WParam;
      link.lParam = m.LParam;
      if (!s->Notify(link.nmhdr, EN_LINK)) return false;
      m.Result = 0;  // the parent took the click
      return true;
    }
    default: return false;
  }
}
