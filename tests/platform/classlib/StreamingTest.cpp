#include <gtest/gtest.h>

#include <QMetaProperty>
#include <QRandomGenerator>
#include <QStringList>

#include <memory>

#include "platform/classlib/Streaming.h"

#include "tests/support/TestSupport.h"

namespace streamingtest {

Q_NAMESPACE
enum TTextAlign { taLeftJustify, taCenter, taRightJustify };
Q_ENUM_NS(TTextAlign)
enum TDownloadOption { DownloadImages, DownloadVideos, DownloadScripts, DownloadActiveX };
Q_ENUM_NS(TDownloadOption)
using TDownloadOptions = TSet<TDownloadOption>;

// An integer type with names, registered as "TTestColor".
constexpr int tcBlack = 0;
constexpr int tcRed = 0xFF;
constexpr int tcButtonFace = int(0xFF00000F);

class TTestFont : public TPersistent {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TTestColor")
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
 public:
  QString Name() const { return name_; }
  void SetName(const QString& v) { name_ = v; }
  int Height() const { return height_; }
  void SetHeight(int v) { height_ = v; }
  int Color() const { return color_; }
  void SetColor(int v) { color_ = v; }

 private:
  QString name_ = "Arial";
  int height_ = -12;
  int color_ = tcBlack;
};

class TTestControl : public TComponent {
  Q_OBJECT
  Q_CLASSINFO("IdentType:Color", "TTestColor")
  Q_PROPERTY(int Left READ Left WRITE SetLeft)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(TTextAlign Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(TDownloadOptions Options READ Options WRITE SetOptions)
  Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
  Q_PROPERTY(qint64 Big READ Big WRITE SetBig)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(TTestFont* Font READ Font)
  Q_PROPERTY(TStrings* Items READ Items)
  Q_PROPERTY(TTestControl* Buddy READ Buddy WRITE SetBuddy)
  Q_PROPERTY(QString Secret READ Secret WRITE SetSecret STORED false)
  Q_PROPERTY(int ReadOnly READ ReadOnly)

 public:
  explicit TTestControl(TComponent* owner) : TComponent(owner) {}
  ~TTestControl() override { delete font_; }

  int Left() const { return left_; }
  void SetLeft(int v) { left_ = v; }
  int Height() const { return height_; }
  void SetHeight(int v) { height_ = v; }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& v) { caption_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  TTextAlign Alignment() const { return alignment_; }
  void SetAlignment(TTextAlign v) { alignment_ = v; }
  TDownloadOptions Options() const { return options_; }
  void SetOptions(TDownloadOptions v) { options_ = v; }
  double Ratio() const { return ratio_; }
  void SetRatio(double v) { ratio_ = v; }
  qint64 Big() const { return big_; }
  void SetBig(qint64 v) { big_ = v; }
  int Color() const { return color_; }
  void SetColor(int v) { color_ = v; }
  TTestFont* Font() const { return font_; }
  TStrings* Items() const { return items_.get(); }
  TTestControl* Buddy() const { return buddy_; }
  void SetBuddy(TTestControl* v) { buddy_ = v; }
  QString Secret() const { return secret_; }
  void SetSecret(const QString& v) { secret_ = v; }
  int ReadOnly() const { return 7; }

  void SetParentComponent(TComponent* value) override { parent_ = value; }
  TComponent* GetParentComponent() const override { return parent_; }

  void Loaded() override {
    if (loadLog) {
      const TComponent* root = this;
      while (root->Owner()) root = root->Owner();
      *loadLog << QStringLiteral("%1 %2 %3 %4")
                      .arg(Name())
                      .arg(root->ComponentCount())
                      .arg(ComponentState().Contains(csLoading) ? "loading" : "-")
                      .arg(ComponentState().Contains(csReading) ? "reading" : "-");
    }
    TComponent::Loaded();
  }

  TNotifyEvent OnClick;
  std::function<void(TObject*, int, int)> OnMouseDown;
  static inline QStringList* loadLog = nullptr;

 private:
  int left_ = 0, height_ = 20, color_ = tcButtonFace;
  QString caption_, secret_;
  bool visible_ = true;
  TTextAlign alignment_ = taLeftJustify;
  TDownloadOptions options_{DownloadImages};
  double ratio_ = 1.0;
  qint64 big_ = 0;
  TTestFont* font_ = new TTestFont;
  std::unique_ptr<TStringList> items_ = std::make_unique<TStringList>();
  TTestControl* buddy_ = nullptr;
  TComponent* parent_ = nullptr;
};

class TTestPanel : public TTestControl {
  Q_OBJECT
  Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
 public:
  using TTestControl::TTestControl;
  int BevelWidth() const { return bevel_; }
  void SetBevelWidth(int v) { bevel_ = v; }

 private:
  int bevel_ = 1;
};

class TTestButton : public TTestControl {
  Q_OBJECT
 public:
  using TTestControl::TTestControl;
};

class TTestForm : public TTestControl {
  Q_OBJECT
 public:
  using TTestControl::TTestControl;
  TTestPanel* TopPanel = nullptr;
  TTestButton* Button1 = nullptr;
  TNotifyEvent OnCreate;
  QStringList calls;

  static QString NameOf(TObject* sender) {
    auto* c = dynamic_cast<TComponent*>(sender);
    return c ? c->Name() : QStringLiteral("?");
  }
  void FormCreate(TObject* sender) { calls << "FormCreate " + NameOf(sender); }
  void Button1Click(TObject* sender) {
    calls << QStringLiteral("Button1Click %1 on %2").arg(NameOf(sender), Name());
  }
  void PanelMouseDown(TObject* sender, int x, int y) {
    calls << QStringLiteral("PanelMouseDown %1 %2 %3").arg(NameOf(sender)).arg(x).arg(y);
  }
};

void RegisterTestClasses() {
  RegisterClasses<TTestControl, TTestPanel, TTestButton, TTestForm>();
  RegisterEvents<TTestControl>(
      {EventEntry("OnClick", &TTestControl::OnClick), EventEntry("OnMouseDown", &TTestControl::OnMouseDown)});
  RegisterEvents<TTestForm>({EventEntry("OnCreate", &TTestForm::OnCreate)});
  RegisterHandlers<TTestForm>({HandlerEntry("FormCreate", &TTestForm::FormCreate),
                               HandlerEntry("Button1Click", &TTestForm::Button1Click),
                               HandlerEntry("PanelMouseDown", &TTestForm::PanelMouseDown),
                               FieldEntry("TopPanel", &TTestForm::TopPanel),
                               FieldEntry("Button1", &TTestForm::Button1)});
  RegisterIntegerIdents("TTestColor",
                        {{"tcBlack", tcBlack}, {"tcRed", tcRed}, {"tcButtonFace", tcButtonFace}});
}

// Every value kind, objects two levels deep, a forward component reference.
const char* const kFullForm =
    "object TestForm: TTestForm\n"
    "  Left = 10\n"
    "  Caption = 'It''s a caption'#13#10'second line'\n"
    "  Font.Name = 'Tahoma'\n"
    "  Font.Height = -11\n"
    "  Font.Color = tcRed\n"
    "  Color = $FF000010\n"
    "  OnCreate = FormCreate\n"
    "  object TopPanel: TTestPanel\n"
    "    Height = 33\n"
    "    BevelWidth = $1F\n"
    "    Alignment = taCenter\n"
    "    Options = [DownloadImages, downloadscripts]\n"
    "    Items.Strings = (\n"
    "      'one'\n"
    "      'two'#9'tab'\n"
    "      '')\n"
    "    OnMouseDown = PanelMouseDown\n"
    "    object Button1: TTestButton\n"
    "      Caption = 'Go' +\n"
    "        ' on'#$263A\n"
    "      Ratio = 1.5E2\n"
    "      Big = -9000000000\n"
    "      Visible = false\n"
    "      Color = TCBLACK\n"
    "      OnClick = button1click\n"
    "      Buddy = Later\n"
    "    end\n"
    "  end\n"
    "  object Later: TTestControl\n"
    "    Options = []\n"
    "    Ratio = -0.25\n"
    "    Buddy = TestForm\n"
    "  end\n"
    "end\n";

class Streaming : public ::testing::Test {
 protected:
  void SetUp() override { RegisterTestClasses(); }

  // Reads `text` onto a fresh form and answers the error message ("" when it
  // was read), checking that a failed read leaves no loading flags behind.
  static QString ReadError(const QString& text) {
    TTestForm form(nullptr);
    try {
      ReadComponentRes(text, &form);
    } catch (const EFilerError& e) {
      EXPECT_TRUE(form.ComponentState().Empty()) << e.what();
      for (int i = 0; i < form.ComponentCount(); ++i)
        EXPECT_TRUE(form.Components(i)->ComponentState().Empty()) << e.what();
      return e.Message;
    }
    return QString();
  }
};

// Every published property value of a component, with nested objects by path.
QStringList PropertyValues(QObject* obj, const QString& prefix = QString()) {
  QStringList out;
  const QMetaObject* mo = obj->metaObject();
  for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i) {
    const QMetaProperty p = mo->property(i);
    const QVariant v = p.read(obj);
    const QString name = prefix + p.name();
    if (auto* font = qvariant_cast<TTestFont*>(v))
      out << PropertyValues(font, name + ".");
    else if (auto* strings = qvariant_cast<TStrings*>(v))
      out << name + "=" + strings->Strings().join('|');
    else if (auto* buddy = qvariant_cast<TTestControl*>(v))
      out << name + "=" + buddy->Name();
    else if (v.metaType() == QMetaType::fromType<TDownloadOptions>())
      out << name + "=" + v.value<TDownloadOptions>().ToString();
    else
      out << name + "=" + v.toString();
  }
  return out;
}

}  // namespace streamingtest

using namespace streamingtest;

TEST_F(Streaming, ReadsEveryKindOfValue) {
  TTestForm form(nullptr);
  ReadComponentRes(kFullForm, &form);

  EXPECT_EQ(form.Name(), "TestForm");
  EXPECT_EQ(form.Left(), 10);
  EXPECT_EQ(form.Caption(), "It's a caption\r\nsecond line");
  EXPECT_EQ(form.Font()->Name(), "Tahoma");
  EXPECT_EQ(form.Font()->Height(), -11);
  EXPECT_EQ(form.Font()->Color(), tcRed);
  EXPECT_EQ(form.Color(), int(0xFF000010));  // hexadecimal fills the 32 bits

  ASSERT_NE(form.TopPanel, nullptr);  // published fields assigned
  ASSERT_NE(form.Button1, nullptr);
  TTestPanel* panel = form.TopPanel;
  TTestButton* button = form.Button1;
  EXPECT_EQ(panel->Height(), 33);
  EXPECT_EQ(panel->BevelWidth(), 31);
  EXPECT_EQ(panel->Alignment(), taCenter);
  EXPECT_EQ(panel->Options(), (TDownloadOptions{DownloadImages, DownloadScripts}));
  EXPECT_EQ(panel->Items()->Strings(), (QStringList{"one", "two\ttab", ""}));
  EXPECT_EQ(button->Caption(), QString("Go on") + QChar(0x263A));
  EXPECT_DOUBLE_EQ(button->Ratio(), 150.0);
  EXPECT_EQ(button->Big(), -9000000000LL);
  EXPECT_FALSE(button->Visible());
  EXPECT_EQ(button->Color(), tcBlack);
  EXPECT_EQ(button->Height(), 20);  // untouched default

  // The tree: everything owned by the root, parents as nested in the text.
  ASSERT_EQ(form.ComponentCount(), 3);
  auto* later = qobject_cast<TTestControl*>(form.FindComponent("Later"));
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(later->Owner(), &form);
  EXPECT_EQ(button->Owner(), &form);
  EXPECT_EQ(panel->GetParentComponent(), &form);
  EXPECT_EQ(button->GetParentComponent(), panel);
  EXPECT_EQ(later->GetParentComponent(), &form);
  EXPECT_TRUE(later->Options().Empty());
  EXPECT_DOUBLE_EQ(later->Ratio(), -0.25);

  // References, also forward ones and to the root.
  EXPECT_EQ(button->Buddy(), later);
  EXPECT_EQ(later->Buddy(), &form);

  // Events call the form's handlers with the component as sender.
  ASSERT_TRUE(form.OnCreate);
  form.OnCreate(&form);
  ASSERT_TRUE(button->OnClick);
  button->OnClick(button);
  ASSERT_TRUE(panel->OnMouseDown);
  panel->OnMouseDown(panel, 3, 4);
  EXPECT_FALSE(panel->OnClick);
  EXPECT_EQ(form.calls, (QStringList{"FormCreate TestForm", "Button1Click Button1 on TestForm",
                                     "PanelMouseDown TopPanel 3 4"}));
  EXPECT_EQ(button->EventBinding("OnClick"), "Button1Click");  // the handler's own spelling
  EXPECT_EQ(panel->EventBinding("OnMouseDown"), "PanelMouseDown");
}

TEST_F(Streaming, LoadedRunsOnceOnEachComponentAfterTheWholeTree) {
  QStringList log;
  TTestControl::loadLog = &log;
  TTestForm form(nullptr);
  ReadComponentRes(kFullForm, &form);
  TTestControl::loadLog = nullptr;
  // Root first, then in reading order; every component already exists and is
  // still loading but no longer reading.
  EXPECT_EQ(log, (QStringList{"TestForm 3 loading -", "TopPanel 3 loading -", "Button1 3 loading -",
                              "Later 3 loading -"}));
  EXPECT_TRUE(form.ComponentState().Empty());
  for (int i = 0; i < form.ComponentCount(); ++i) EXPECT_TRUE(form.Components(i)->ComponentState().Empty());
}

TEST_F(Streaming, ReportsEachLoadErrorWithWhereItHappened) {
  // A short resource; each case replaces one line with a faulty one.
  const QStringList base = {
      "object TestForm: TTestForm",     // 1
      "  Left = 1",                     // 2
      "  object TopPanel: TTestPanel",  // 3
      "    Height = 2",                 // 4
      "  end",                          // 5
      "end",                            // 6
  };
  struct Case {
    int line;
    const char* replacement;
    const char* where;  // "line N, Component.Property"
    const char* message;
  };
  const Case cases[] = {
      {4, "    Heigth = 2", "line 4, TopPanel.Heigth", "Property Heigth does not exist"},
      {2, "  Font.Nmae = 'x'", "line 2, TestForm.Font.Nmae", "Property Nmae does not exist"},
      {2, "  Caption.Text = 'x'", "line 2, TestForm.Caption.Text", "Property Caption is not an object"},
      {4, "    Height = 'x'", "line 4, TopPanel.Height", "Integer value expected"},
      {4, "    Height = 99999999999", "line 4, TopPanel.Height", "Value 99999999999 out of range"},
      {4, "    Height = 1.5", "line 4, TopPanel.Height", "Integer value expected"},
      {4, "    Height = tcPink", "line 4, TopPanel.Height", "'tcPink' is not a valid integer value"},
      {4, "    Color = tcPink", "line 4, TopPanel.Color", "'tcPink' is not a valid integer value"},
      {4, "    Visible = 1", "line 4, TopPanel.Visible", "True or False expected"},
      {4, "    Caption = Go", "line 4, TopPanel.Caption", "String expected"},
      {4, "    Alignment = taNowhere", "line 4, TopPanel.Alignment",
       "'taNowhere' is not a value of TTextAlign"},
      {4, "    Alignment = 40", "line 4, TopPanel.Alignment", "40 is not a value of TTextAlign"},
      {4, "    Alignment = -1", "line 4, TopPanel.Alignment", "-1 is not a value of TTextAlign"},
      {4, "    Alignment = $7FFFFFFF", "line 4, TopPanel.Alignment",
       "2147483647 is not a value of TTextAlign"},
      {4, "    Options = [DownloadImages, Nope]", "line 4, TopPanel.Options",
       "'Nope' is not a member of the set"},
      {4, "    Options = [DownloadImages", "line 5, TopPanel.Options", "',' or ']' expected"},
      {4, "    Options = DownloadImages", "line 4, TopPanel.Options", "Set expected"},
      {4, "    Items.Strings = ('a' 1)", "line 4, TopPanel.Items.Strings", "String expected in the list"},
      {4, "    Items = 'x'", "line 4, TopPanel.Items", "List of strings expected"},
      {4, "    ReadOnly = 1", "line 4, TopPanel.ReadOnly", "Property ReadOnly is read-only"},
      {4, "    Font = 1", "line 4, TopPanel.Font", "cannot be set from a resource"},
      {4, "    OnClick = NoSuchHandler", "line 4, TopPanel.OnClick",
       "Handler NoSuchHandler not found in TTestForm"},
      {4, "    OnClick = PanelMouseDown", "line 4, TopPanel.OnClick",
       "Handler PanelMouseDown does not match the type of event OnClick"},
      {4, "    OnClick = 'Button1Click'", "line 4, TopPanel.OnClick", "Handler name expected"},
      {4, "    Buddy = Nobody", "line 4, TopPanel.Buddy", "Component Nobody not found"},
      {4, "    Caption = 'abc", "line 4, TopPanel.Caption", "Unterminated string"},
      {4, "    Caption = 'abc' +", "line 5, TopPanel.Caption", "String expected"},
      {4, "    Caption = #", "line 4, TopPanel.Caption", "Invalid character code"},
      {4, "    Caption = #1114112", "line 4, TopPanel.Caption", "Invalid character code"},
      {4, "    Height = 12abc", "line 4, TopPanel.Height", "Invalid number"},
      {4, "    Height = $", "line 4, TopPanel.Height", "Invalid number"},
      {4, "    Height 2", "line 4, TopPanel.Height", "'=' expected"},
      {4, "    Height = =", "line 4, TopPanel.Height", "Property value expected"},
      {4, "    = 2", "line 4, TopPanel", "Property name or 'end' expected"},
      {4, "    Height = 2 ?", "line 4, TopPanel.Height", "Invalid character '?'"},
      {4, "    Height = 2 \x01", "line 4, TopPanel.Height", "Invalid character #1"},
      {3, "  object TopPanel: TNoSuchPanel", "line 3, TopPanel", "Class TNoSuchPanel not found"},
      {3, "  object TopPanel TTestPanel", "line 3, TopPanel", "Class TopPanel not found"},
      {3, "  object Top.Panel: TTestPanel", "line 3, Top.Panel", "'Top.Panel' is not a valid component name"},
      {3, "  object TopPanel: TTestButton", "line 3, TopPanel",
       "Field TopPanel of TTestForm cannot hold a TTestButton"},
      {3, "  inherited TopPanel: TTestPanel", "line 3, TestForm", "Only 'object' entries are supported"},
      {1, "object TestForm: TTestPanel", "line 1, TestForm",
       "The resource holds a TTestPanel, not a TTestForm"},
      {1, "thing TestForm: TTestForm", "line 1", "'object' expected"},
      {6, "end end", "line 6", "End of resource expected"},
      {6, "", "line 7, TestForm", "Unexpected end of resource"},
      {6, "  object X: TTestControl", "line 7, X", "Unexpected end of resource"},
  };
  for (const Case& c : cases) {
    QStringList lines = base;
    lines[c.line - 1] = QString::fromUtf8(c.replacement);
    const QString message = ReadError(lines.join('\n') + '\n');
    EXPECT_TRUE(message.startsWith(QStringLiteral("Error reading TTestForm, ") + c.where + ": "))
        << c.replacement << " -> " << message.toStdString();
    EXPECT_TRUE(message.endsWith(QString::fromUtf8(c.message)))
        << c.replacement << " -> " << message.toStdString();
  }
}

TEST_F(Streaming, LoadErrorsHaveTheirOwnClassesAndTheSourceName) {
  TTestForm form(nullptr);
  EXPECT_THROW(ReadComponentRes("object F: TTestForm\n object X: TNoSuch\n end\nend", &form), EClassNotFound);
  EXPECT_THROW(ReadComponentRes("object F: TTestForm\n OnCreate = Nothing\nend", &form), EMethodNotFound);
  try {
    ReadComponentRes("object F: TTestForm\n Left = x\nend", &form, "TMYFORM");
    FAIL();
  } catch (const EReadError& e) {  // every load error is also a read error
    EXPECT_TRUE(e.Message.startsWith("Error reading TMYFORM, line 2, F.Left: ")) << e.what();
  }
}

TEST_F(Streaming, DuplicateNamesInTheTextAreRefused) {
  const QString message = ReadError(
      "object F: TTestForm\n"
      "  object A: TTestControl\n"
      "  end\n"
      "  object a: TTestControl\n"
      "  end\n"
      "end\n");
  EXPECT_EQ(message, "Error reading TTestForm, line 4, a: A component named a already exists");
}

TEST_F(Streaming, MalformedResourcesNeverCrash) {
  const QString full = QString::fromUtf8(kFullForm);
  // Every truncation fails cleanly, except the whole text.
  for (int n = 0; n < full.size(); ++n) {
    const QString message = ReadError(full.left(n));
    if (full.mid(n).trimmed().isEmpty()) continue;
    EXPECT_FALSE(message.isEmpty()) << "prefix " << n << " was accepted";
  }
  // Random damage: reading either works or raises a load error.
  QRandomGenerator random(20240611);
  for (int round = 0; round < 400; ++round) {
    QString damaged = full;
    for (int k = 0; k < 3; ++k) {
      const int at = random.bounded(damaged.size());
      damaged[at] = QChar(char16_t(random.bounded(round % 2 ? 128 : 0x3000)));
    }
    ReadError(damaged);
  }
  // Deep nesting is refused before the stack runs out.
  QString deep = "object F: TTestForm\n";
  for (int i = 0; i < 5000; ++i) deep += QStringLiteral("object C%1: TTestControl\n").arg(i);
  EXPECT_TRUE(ReadError(deep).endsWith("Objects nested too deeply"));
  // Only garbage.
  EXPECT_FALSE(ReadError(QString::fromLatin1("\x7f\x80\xff\x00\x01", 5)).isEmpty());
  EXPECT_FALSE(ReadError("").isEmpty());
}

TEST_F(Streaming, AnUnnamedRootTakesAUniqueName) {
  TComponent application(nullptr);
  auto* first = new TTestForm(&application);
  auto* second = new TTestForm(&application);
  auto* third = new TTestForm(&application);
  for (TTestForm* f : {first, second, third}) ReadComponentRes(kFullForm, f);
  EXPECT_EQ(first->Name(), "TestForm");
  EXPECT_EQ(second->Name(), "TestForm_1");
  EXPECT_EQ(third->Name(), "TestForm_2");
  // The text's name for the root means the form being read.
  EXPECT_EQ(qobject_cast<TTestControl*>(second->FindComponent("Later"))->Buddy(), second);
  // A named root keeps its name.
  TTestForm named(nullptr);
  named.SetName("Mine");
  ReadComponentRes(kFullForm, &named);
  EXPECT_EQ(named.Name(), "Mine");
  EXPECT_EQ(named.Button1->Buddy()->Buddy(), &named);
}

TEST_F(Streaming, WritesOnlyWhatDiffersFromAFreshInstance) {
  TTestForm fresh(nullptr);
  EXPECT_EQ(WriteComponentRes(&fresh), "object TTestForm\r\nend\r\n");

  TTestForm form(nullptr);
  form.SetName("Form1");
  form.SetCaption("a'b\r\n\x01" + QString(QChar(0xD800)) + "\xc3\xa9");
  form.SetSecret("not stored");
  form.SetOptions({DownloadVideos, DownloadActiveX});
  form.SetColor(tcRed);
  form.Font()->SetHeight(-11);
  form.Items()->Add("x");
  auto* child = new TTestButton(&form);
  child->SetName("Button1");
  child->SetBuddy(&form);
  child->SetColor(0x123456);
  auto* orphan = new TTestControl(&form);  // unnamed
  orphan->SetLeft(5);
  EXPECT_EQ(WriteComponentRes(&form),
            "object Form1: TTestForm\r\n"
            "  Caption = 'a''b'#13#10#1#55296'\xc3\xa9'\r\n"
            "  Options = [DownloadVideos, DownloadActiveX]\r\n"
            "  Color = tcRed\r\n"
            "  Font.Height = -11\r\n"
            "  Items.Strings = (\r\n"
            "    'x')\r\n"
            "  object Button1: TTestButton\r\n"
            "    Color = 1193046\r\n"
            "    Buddy = Form1\r\n"
            "  end\r\n"
            "  object TTestControl\r\n"
            "    Left = 5\r\n"
            "  end\r\n"
            "end\r\n");
  EXPECT_TRUE(form.ComponentState().Empty());  // csWriting only while writing
}

TEST_F(Streaming, RoundTripOntoAnotherInstanceOfTheForm) {
  TTestForm original(nullptr);
  ReadComponentRes(kFullForm, &original);
  // Changes made at run time, including a component created in code and
  // nested in the panel.
  original.SetLeft(77);
  original.SetCaption("tab\there, quote ' and " + QString::fromUcs4(U"\U0001F600"));
  original.Font()->SetName("Verdana");
  original.TopPanel->SetOptions({});
  original.TopPanel->SetAlignment(taRightJustify);
  original.TopPanel->Items()->Add("three");
  original.Button1->SetRatio(0.1);
  original.Button1->SetBig(std::numeric_limits<qint64>::min());
  auto* extra = new TTestControl(&original);
  extra->SetName("Extra");
  extra->SetParentComponent(original.TopPanel);
  extra->SetBuddy(original.Button1);
  extra->SetColor(int(0x80000000));
  extra->SetRatio(1e-300);
  const QString text = WriteComponentRes(&original);
  EXPECT_TRUE(text.contains("\r\n    object Extra: TTestControl\r\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\r\n      OnClick = Button1Click\r\n")) << text.toStdString();

  // Onto an empty form: every component is created and takes its values.
  TTestForm blank(nullptr);
  ReadComponentResInto(text, &blank);
  EXPECT_EQ(blank.Name(), "TestForm");
  ASSERT_EQ(blank.ComponentCount(), original.ComponentCount());
  EXPECT_EQ(PropertyValues(&blank), PropertyValues(&original));
  for (int i = 0; i < original.ComponentCount(); ++i) {
    TComponent* mine = original.Components(i);
    TComponent* theirs = blank.FindComponent(mine->Name());
    ASSERT_NE(theirs, nullptr) << mine->Name().toStdString();
    EXPECT_EQ(PropertyValues(theirs), PropertyValues(mine)) << mine->Name().toStdString();
    EXPECT_EQ(theirs->EventBinding("OnClick"), mine->EventBinding("OnClick"));
    EXPECT_EQ(theirs->EventBinding("OnMouseDown"), mine->EventBinding("OnMouseDown"));
    TComponent* parent = theirs->GetParentComponent();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->Name(), mine->GetParentComponent()->Name());
    EXPECT_TRUE(parent == &blank || parent->Owner() == &blank);
  }
  EXPECT_EQ(WriteComponentRes(&blank), text);

  // Onto a form built from its own resource (a second window): the streamed
  // values are applied to the existing components, none is created twice,
  // and events are bound to the new form.
  TTestForm second(nullptr);
  ReadComponentRes(kFullForm, &second);
  second.SetName("Second");
  TTestPanel* panel = second.TopPanel;
  ReadComponentResInto(text, &second);
  EXPECT_EQ(second.Name(), "Second");
  EXPECT_EQ(second.TopPanel, panel);
  ASSERT_EQ(second.ComponentCount(), original.ComponentCount());
  EXPECT_EQ(second.Left(), 77);
  EXPECT_EQ(second.Caption(), original.Caption());
  EXPECT_EQ(second.Font()->Name(), "Verdana");
  EXPECT_EQ(panel->Items()->Strings(), (QStringList{"one", "two\ttab", "", "three"}));
  EXPECT_TRUE(panel->Options().Empty());
  EXPECT_EQ(second.Button1->Big(), std::numeric_limits<qint64>::min());
  auto* extraCopy = qobject_cast<TTestControl*>(second.FindComponent("Extra"));
  ASSERT_NE(extraCopy, nullptr);
  EXPECT_EQ(extraCopy->Buddy(), second.Button1);
  EXPECT_EQ(extraCopy->GetParentComponent(), panel);
  EXPECT_EQ(qobject_cast<TTestControl*>(second.FindComponent("Later"))->Buddy(), &second);
  second.Button1->OnClick(second.Button1);
  EXPECT_EQ(second.calls, QStringList{"Button1Click Button1 on Second"});
  EXPECT_TRUE(original.calls.isEmpty());
}

TEST_F(Streaming, ValuesBackAtTheClassDefaultAreNotStreamed) {
  // Only values that differ from a fresh instance are written, so a value
  // set back to the class default leaves the target's value as it was.
  TTestForm original(nullptr);
  ReadComponentRes(kFullForm, &original);
  original.Button1->SetVisible(true);   // the class default; the resource says False
  original.TopPanel->Items()->Clear();  // empty, as in a fresh panel
  const QString text = WriteComponentRes(&original);
  TTestForm second(nullptr);
  ReadComponentRes(kFullForm, &second);
  ReadComponentResInto(text, &second);
  EXPECT_FALSE(second.Button1->Visible());
  EXPECT_EQ(second.TopPanel->Items()->Count(), 3);
}

TEST_F(Streaming, ReadingIntoAnExistingTreeChecksClasses) {
  TTestForm form(nullptr);
  ReadComponentRes(kFullForm, &form);
  try {
    ReadComponentResInto("object TestForm: TTestForm\n  object TopPanel: TTestButton\n  end\nend\n", &form);
    FAIL();
  } catch (const EFilerError& e) {
    EXPECT_EQ(e.Message,
              "Error reading TTestForm, line 2, TopPanel: The component is a TTestPanel, not a TTestButton");
  }
  // A base class name in the text is fine.
  ReadComponentResInto(
      "object TestForm: TTestControl\n  object TopPanel: TTestControl\n Height = 5\n end\nend\n", &form);
  EXPECT_EQ(form.TopPanel->Height(), 5);
}

TEST_F(Streaming, IntegerIdentsConvertBothWays) {
  int value = 0;
  EXPECT_TRUE(IdentToInt("ttestcolor", "TCRED", value));
  EXPECT_EQ(value, tcRed);
  EXPECT_FALSE(IdentToInt("TTestColor", "tcPink", value));
  EXPECT_FALSE(IdentToInt("TNoSuchType", "tcRed", value));
  QString ident;
  EXPECT_TRUE(IntToIdent("TTestColor", tcButtonFace, ident));
  EXPECT_EQ(ident, "tcButtonFace");
  EXPECT_FALSE(IntToIdent("TTestColor", 12345, ident));
}

TEST_F(Streaming, FormResourcesComeFromTheProgramsResources) {
  const QString text = LoadFormResourceText("TStreamTestForm");  // stored as TSTREAMTESTFORM.dfm
  EXPECT_TRUE(text.startsWith("object StreamTestForm: TTestForm")) << text.toStdString();
  TTestForm form(nullptr);
  EXPECT_TRUE(InitComponentRes("TSTREAMTESTFORM", &form));
  EXPECT_EQ(form.Caption(), QString::fromUtf8("From the resource \xc3\xa9"));
  ASSERT_NE(form.TopPanel, nullptr);
  EXPECT_EQ(form.TopPanel->Height(), 33);

  try {
    LoadFormResourceText("TNoSuchForm");
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message, "Resource TNoSuchForm not found");
  }
  TTestForm other(nullptr);
  EXPECT_FALSE(InitComponentRes("TNoSuchForm", &other));
  EXPECT_EQ(other.ComponentCount(), 0);
}

#include "StreamingTest.moc"
