#include "platform/classlib/ComCtrls.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTabBar>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() + csAcceptsControls);
  // A page shows only while it is the active one.
  SetVisible(false);
}

TTabSheet::~TTabSheet() {
  Destroying();
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* value) { SetParent(value); }

void TTabSheet::SetParent(TWinControl* AParent) {
  if (Parent() == AParent) return;
  if (pageControl_) pageControl_->RemovePage(this);
  TWinControl::SetParent(AParent);
  if (auto* pc = qobject_cast<TPageControl*>(AParent)) pc->InsertPage(this);
}

int TTabSheet::PageIndex() const { return pageControl_ ? int(pageControl_->pages_.indexOf(this)) : -1; }

void TTabSheet::SetPageIndex(int value) {
  if (!pageControl_) return;
  auto& pages = pageControl_->pages_;
  const int from = int(pages.indexOf(this));
  const int to = std::clamp(value, 0, int(pages.size()) - 1);
  if (from == to) return;
  pages.move(from, to);
  pageControl_->UpdateTabs();
}

void TTabSheet::SetTabVisible(bool value) {
  if (tabVisible_ == value) return;
  tabVisible_ = value;
  if (!pageControl_) return;
  // The active page loses its place when its tab goes.
  if (!value && pageControl_->activePage_ == this) {
    TTabSheet* next = pageControl_->FindNextPage(this, true, true);
    pageControl_->ChangeActivePage(next == this ? nullptr : next);
  }
  pageControl_->UpdateTabs();
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int tab = 0;
  for (const TTabSheet* p : pageControl_->pages_) {
    if (p == this) return tab;
    if (p->tabVisible_) ++tab;
  }
  return -1;
}

void TTabSheet::SetText(const String& value) {
  TWinControl::SetText(value);
  if (pageControl_) pageControl_->UpdateTabs();
}

// ---------------------------------------------------------------- TPageControl

namespace {

// The page control's widget: the tab bar above the page area.
class TPageWidget : public QWidget {
 public:
  std::function<void()> layout;

 protected:
  void resizeEvent(QResizeEvent*) override {
    if (layout) layout();
  }
};

}  // namespace

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
  SetTabStop(true);
  SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  Destroying();
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
  pages_.clear();
  activePage_ = nullptr;
}

QWidget* TPageControl::CreateWidget() {
  auto* widget = new TPageWidget;
  auto* bar = new QTabBar(widget);
  bar->setObjectName(QStringLiteral("tabs"));
  bar->setDrawBase(true);
  bar->setExpanding(false);
  area_ = new QWidget(widget);
  widget->layout = [this] {
    if (!Destroyed()) LayoutWidgets();
  };
  QObject::connect(bar, &QTabBar::currentChanged, this, [this](int tab) {
    if (!Destroyed()) TabClicked(tab);
  });
  return widget;
}

QTabBar* TPageControl::TabBar() const {
  return const_cast<TPageControl*>(this)->Widget()->findChild<QTabBar*>(QStringLiteral("tabs"),
                                                                        Qt::FindDirectChildrenOnly);
}

QWidget* TPageControl::ContainerWidget() {
  Widget();
  return area_;
}

int TPageControl::TabHeight() const {
  const QTabBar* bar = TabBar();
  return std::max(bar->sizeHint().height(), QFontMetrics(bar->font()).height() + 8);
}

TRect TPageControl::DisplayRect() const {
  return TRect(0, TabHeight(), Width(), std::max(Height(), TabHeight()));
}

void TPageControl::LayoutWidgets() {
  QTabBar* bar = TabBar();
  const TRect display = DisplayRect();
  bar->setGeometry(0, 0, Width(), display.Top);
  area_->setGeometry(display.ToQRect());
}

void TPageControl::BoundsChanged(bool sizeChanged) {
  if (WidgetAllocated()) LayoutWidgets();
  TWinControl::BoundsChanged(sizeChanged);
}

void TPageControl::AlignControls(TControl* AControl, TRect& rect) {
  // Pages fill the page area; other children align within it.
  const TRect display = DisplayRect();
  for (TTabSheet* p : pages_) p->SetBounds(0, 0, display.Width(), display.Height());
  rect = TRect(0, 0, display.Width(), display.Height());
  TWinControl::AlignControls(AControl, rect);
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= pages_.size())
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
  return pages_[index];
}

void TPageControl::InsertPage(TTabSheet* page) {
  if (pages_.contains(page)) return;
  pages_.append(page);
  page->pageControl_ = this;
  page->SetVisible(page == activePage_);
  UpdateTabs();
  Realign();
}

void TPageControl::RemovePage(TTabSheet* page) {
  if (!pages_.contains(page)) return;
  TTabSheet* next = nullptr;
  if (page == activePage_) {
    next = FindNextPage(page, true, true);
    if (next == page) next = nullptr;
  }
  pages_.removeAll(page);
  page->pageControl_ = nullptr;
  if (page == activePage_) {
    activePage_ = nullptr;
    ChangeActivePage(next);
  }
  if (!Destroyed()) UpdateTabs();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  ChangeActivePage(page);
}

void TPageControl::SetActivePageIndex(int value) {
  SetActivePage(value >= 0 && value < pages_.size() ? pages_[value] : nullptr);
}

void TPageControl::ChangeActivePage(TTabSheet* page) {
  if (activePage_ == page) return;
  TTabSheet* old = activePage_;
  activePage_ = page;
  if (page) {
    page->BringToFront();
    page->SetVisible(true);
  }
  if (old && !old->Destroyed()) old->SetVisible(false);
  UpdateTabs();
  Realign();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  const int n = int(pages_.size());
  if (n == 0) return nullptr;
  int start = int(pages_.indexOf(current));
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int k = 0; k < n; ++k) {
    i = goForward ? (i + 1) % n : (i + n - 1) % n;
    TTabSheet* p = pages_[i];
    if (!checkTabVisible || p->tabVisible_) return p;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward, bool checkTabVisible) {
  TTabSheet* next = FindNextPage(activePage_, goForward, checkTabVisible);
  if (!next || next == activePage_ || !CanChange()) return;
  ChangeActivePage(next);
  Change();
}

void TPageControl::UpdateTabs() {
  if (!WidgetAllocated() || Destroyed()) return;
  QTabBar* bar = TabBar();
  ++settingTabs_;
  while (bar->count() > 0) bar->removeTab(bar->count() - 1);
  for (TTabSheet* p : pages_)
    if (p->tabVisible_) bar->addTab(p->Caption());
  if (activePage_ && activePage_->TabIndex() >= 0) bar->setCurrentIndex(activePage_->TabIndex());
  --settingTabs_;
  LayoutWidgets();
}

void TPageControl::TabClicked(int tab) {
  if (settingTabs_ > 0 || tab < 0) return;
  TTabSheet* target = nullptr;
  for (TTabSheet* p : pages_)
    if (p->TabIndex() == tab) target = p;
  if (!target || target == activePage_) return;
  QPointer<TPageControl> self(this);
  if (!CanChange()) {
    if (!self) return;
    ++settingTabs_;
    TabBar()->setCurrentIndex(activePage_ ? activePage_->TabIndex() : -1);
    --settingTabs_;
    return;
  }
  if (!self) return;
  ChangeActivePage(target);
  Change();
}

bool TPageControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TPageControl::Change() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TStatusBar

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clBtnFace);
  SetBounds(0, 0, 200, 19);
  SetAlign(alBottom);
}

void TStatusBar::SetSimplePanel(bool value) {
  if (simplePanel_ == value) return;
  simplePanel_ = value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const String& value) {
  if (simpleText_ == value) return;
  simpleText_ = value;
  if (simplePanel_) Invalidate();
}

TStatusPanel* TStatusBar::AddPanel() {
  panels_.push_back(std::make_unique<TStatusPanel>());
  Invalidate();
  return panels_.back().get();
}

TStatusPanel* TStatusBar::Panels(int index) const {
  if (index < 0 || index >= PanelCount())
    throw EListError(QStringLiteral("List index out of bounds (%1)").arg(index));
  return panels_[size_t(index)].get();
}

void TStatusBar::ClearPanels() {
  panels_.clear();
  Invalidate();
}

void TStatusBar::Paint() {
  TCanvas* canvas = Canvas();
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(ClientRect());
  QPainter* p = canvas->GetHandle();
  if (!p) return;
  p->save();
  p->setFont(Font()->ToQFont());
  const QColor text = TColorToQColor(Font()->GetColor());
  const auto drawText = [&](const QRect& r, const String& s, TAlignment a) {
    const int align = a == taCenter ? Qt::AlignHCenter : a == taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
    p->setPen(text.isValid() ? text : QColor(Qt::black));
    p->drawText(r.adjusted(3, 0, -3, 0), align | Qt::AlignVCenter | Qt::TextSingleLine, s);
  };
  if (simplePanel_) {
    drawText(QRect(0, 0, Width(), Height()), simpleText_, taLeftJustify);
  } else {
    int x = 0;
    for (const auto& panel : panels_) {
      const QRect r(x, 2, panel->Width, Height() - 3);
      p->setPen(TColorToQColor(clBtnShadow));
      p->drawLine(r.topLeft(), r.topRight());
      p->drawLine(r.topLeft(), r.bottomLeft());
      p->setPen(TColorToQColor(clBtnHighlight));
      p->drawLine(r.bottomLeft(), r.bottomRight());
      p->drawLine(r.topRight(), r.bottomRight());
      drawText(r, panel->Text, panel->Alignment);
      x += panel->Width + 2;
    }
  }
  p->restore();
}

// ---------------------------------------------------------------- TTextAttributes

TTextAttributes::TTextAttributes(TCustomRichEdit* editor, TAttributeType type)
    : TPersistent(editor), editor_(editor), type_(type) {}

QTextCharFormat TTextAttributes::Current() const {
  if (type_ == atDefaultText) return QTextCharFormat();
  QTextEdit* edit = editor_->TextEdit();
  QTextCursor cursor = edit->textCursor();
  if (cursor.hasSelection()) {
    // The format of the selection's first character.
    QTextCursor first(edit->document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
  }
  return editor_->insertFormat_;
}

void TTextAttributes::Apply(const QTextCharFormat& change) {
  if (type_ == atSelected) editor_->ApplySelAttributes(change);
}

TColor TTextAttributes::Color() const {
  const QTextCharFormat f = Current();
  if (f.hasProperty(QTextFormat::ForegroundBrush)) return QColorToTColor(f.foreground().color());
  return editor_->Font()->GetColor();
}

void TTextAttributes::SetColor(TColor value) {
  if (type_ == atDefaultText) {
    editor_->Font()->SetColor(value);
    return;
  }
  QTextCharFormat change;
  const QColor c = TColorToQColor(ColorToRGB(value));
  change.setForeground(c.isValid() ? c : QColor(Qt::black));
  Apply(change);
}

String TTextAttributes::Name() const {
  const QTextCharFormat f = Current();
  if (f.hasProperty(QTextFormat::FontFamilies)) {
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty()) return families.first();
  }
  return editor_->Font()->GetName();
}

void TTextAttributes::SetName(const String& value) {
  if (type_ == atDefaultText) {
    editor_->Font()->SetName(value);
    return;
  }
  QTextCharFormat change;
  change.setFontFamilies(QStringList{value});
  Apply(change);
}

int TTextAttributes::Size() const {
  const QTextCharFormat f = Current();
  if (f.hasProperty(QTextFormat::FontPointSize)) return int(std::lround(f.fontPointSize()));
  return editor_->Font()->GetSize();
}

void TTextAttributes::SetSize(int value) {
  if (type_ == atDefaultText) {
    editor_->Font()->SetSize(value);
    return;
  }
  // Sizes in points at the font's pixels per inch, as the control's font.
  QTextCharFormat change;
  change.setFontPointSize(value);
  Apply(change);
}

TFontStyles TTextAttributes::Style() const {
  const QTextCharFormat f = Current();
  TFontStyles style = editor_->Font()->GetStyle();
  const auto take = [&](QTextFormat::Property property, bool on, TFontStyle s) {
    if (!f.hasProperty(property)) return;
    if (on)
      style.Include(s);
    else
      style.Exclude(s);
  };
  take(QTextFormat::FontWeight, f.fontWeight() >= QFont::Bold, fsBold);
  take(QTextFormat::FontItalic, f.fontItalic(), fsItalic);
  take(QTextFormat::TextUnderlineStyle, f.fontUnderline(), fsUnderline);
  take(QTextFormat::FontStrikeOut, f.fontStrikeOut(), fsStrikeOut);
  return style;
}

void TTextAttributes::SetStyle(TFontStyles value) {
  if (type_ == atDefaultText) {
    editor_->Font()->SetStyle(value);
    return;
  }
  QTextCharFormat change;
  change.setFontWeight(value.Contains(fsBold) ? QFont::Bold : QFont::Normal);
  change.setFontItalic(value.Contains(fsItalic));
  change.setFontUnderline(value.Contains(fsUnderline));
  change.setFontStrikeOut(value.Contains(fsStrikeOut));
  Apply(change);
}

TFontCharset TTextAttributes::Charset() const { return TFontCharset(editor_->Font()->GetCharset()); }

void TTextAttributes::SetCharset(TFontCharset value) {
  // Text is Unicode throughout; the character set is the control font's.
  if (type_ == atDefaultText) editor_->Font()->SetCharset(value);
}

void TTextAttributes::Assign(TPersistent* source) {
  if (auto* font = qobject_cast<TFont*>(source)) {
    SetName(font->GetName());
    SetSize(font->GetSize());
    SetStyle(font->GetStyle());
    SetColor(font->GetColor());
    SetCharset(TFontCharset(font->GetCharset()));
    return;
  }
  if (auto* other = qobject_cast<TTextAttributes*>(source)) {
    SetName(other->Name());
    SetSize(other->Size());
    SetStyle(other->Style());
    SetColor(other->Color());
    SetCharset(other->Charset());
    return;
  }
  TPersistent::Assign(source);
}

void TTextAttributes::AssignTo(TPersistent* dest) {
  if (auto* font = qobject_cast<TFont*>(dest)) {
    font->SetName(Name());
    font->SetSize(Size());
    font->SetStyle(Style());
    font->SetColor(Color());
    font->SetCharset(Charset());
    return;
  }
  TPersistent::AssignTo(dest);
}

// ---------------------------------------------------------------- TCustomRichEdit

namespace {

// The lines of a rich edit: files and streams go through the control's own
// streaming (RTF unless PlainText) when the rich edit layer is there.
class TRichEditStrings : public TMemoStrings {
 public:
  explicit TRichEditStrings(TCustomRichEdit* edit) : TMemoStrings(edit), edit_(edit) {}
  String ClassName() const override { return QStringLiteral("TRichEditStrings"); }

  void LoadFromStream(TStream& stream) override {
    if (!TCustomRichEdit::Engine.LoadLines) return TMemoStrings::LoadFromStream(stream);
    TCustomRichEdit::Engine.LoadLines(*edit_, stream);
  }
  void SaveToStream(TStream& stream) const override {
    if (!TCustomRichEdit::Engine.SaveLines) return TMemoStrings::SaveToStream(stream);
    TCustomRichEdit::Engine.SaveLines(*edit_, stream);
  }
  void LoadFromFile(const String& fileName) override {
    if (!TCustomRichEdit::Engine.LoadLines) return TMemoStrings::LoadFromFile(fileName);
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
  }
  void SaveToFile(const String& fileName) const override {
    if (!TCustomRichEdit::Engine.SaveLines) return TMemoStrings::SaveToFile(fileName);
    TMemoryStream stream;
    SaveToStream(stream);
    if (!WriteFileAtomic(fileName, stream.Bytes()))
      throw EFCreateError(QStringLiteral("Cannot create file \"%1\".").arg(fileName));
  }

 private:
  TCustomRichEdit* edit_;
};

}  // namespace

TCustomRichEdit::TEngine TCustomRichEdit::Engine;

TCustomRichEdit::TCustomRichEdit(TComponent* AOwner)
    : TCustomMemo(AOwner),
      selAttributes_(new TTextAttributes(this, TTextAttributes::atSelected)),
      defAttributes_(new TTextAttributes(this, TTextAttributes::atDefaultText)) {
  SetLinesObject(new TRichEditStrings(this));
}

void TCustomRichEdit::Print(const String& Caption) {
  if (!Engine.Print) throw EInvalidOperation(QStringLiteral("Rich edit printing is not available"));
  Engine.Print(*this, Caption);
}

void TCustomRichEdit::PasteFromClipboard() {
  // The control's window decides what it takes from the clipboard.
  TMessage m{WM_PASTE, 0, 0, 0};
  if (Engine.HandleMessage && Engine.HandleMessage(*this, m)) return;
  TCustomMemo::PasteFromClipboard();
}

void TCustomRichEdit::DefaultHandler(TMessage& Message) {
  if (Engine.HandleMessage && Engine.HandleMessage(*this, Message)) return;
  TCustomMemo::DefaultHandler(Message);
}

void TCustomRichEdit::Change() {
  if (Engine.TextChanged) Engine.TextChanged(*this);
  TCustomMemo::Change();
}

QWidget* TCustomRichEdit::CreateWidget() {
  QWidget* widget = TCustomMemo::CreateWidget();
  auto* edit = static_cast<QTextEdit*>(widget);
  edit->setAcceptRichText(true);
  QObject::connect(edit, &QTextEdit::cursorPositionChanged, this, [this] {
    if (!Destroyed() && !Loading()) SelectionChange();
  });
  return widget;
}

void TCustomRichEdit::PrepareInsertion(QTextCursor& cursor) { cursor.setCharFormat(insertFormat_); }

void TCustomRichEdit::SelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TCustomRichEdit::ApplySelAttributes(const QTextCharFormat& change) {
  insertFormat_.merge(change);
  QTextEdit* edit = TextEdit();
  FormatChange([&] {
    QTextCursor cursor = edit->textCursor();
    if (cursor.hasSelection()) {
      cursor.mergeCharFormat(change);
    } else {
      // What the user types next at the caret looks the same.
      QTextCharFormat typing = cursor.charFormat();
      typing.merge(change);
      edit->setCurrentCharFormat(typing);
    }
  });
}

// ---------------------------------------------------------------- registration

void InitializeComCtrls() {
  static bool done = false;
  if (done) return;
  done = true;
  InitializeStdCtrls();
  RegisterClasses<TTabSheet, TPageControl, TStatusBar, TListView, TRichEdit>();
  RegisterEvents<TCustomListView>({EventEntry("OnData", &TCustomListView::OnData),
                                   EventEntry("OnDataHint", &TCustomListView::OnDataHint)});
  RegisterEvents<TPageControl>(
      {EventEntry("OnChange", &TPageControl::OnChange), EventEntry("OnChanging", &TPageControl::OnChanging)});
  RegisterEvents<TCustomRichEdit>({EventEntry("OnSelectionChange", &TCustomRichEdit::OnSelectionChange)});
}
