// The events tab against its form resource, the real engine on local pages
// and a loopback server, the filter file in the program folder, and the
// saved and printed log read back.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QWebEnginePage>

#include "platform/classlib/Dialogs.h"
#include "platform/classlib/Printers.h"
#include "platform/shdocvw/WebBrowser.h"
#include "tests/app/ToolsWindowFixture.h"

namespace {

using FullScreen::FullScreenEventsInternals;
using FullScreen::TFullScreenForm;

class EventsTab : public apptest::ToolsWindowFixture {
 protected:
  // The window with analysis started from its button and every filter off.
  TFullScreenForm* startAnalysis() {
    TFullScreenForm* f = showWindows();
    f->PageControl->SetActivePage(f->EventsTabSheet);
    Click(f->EV001Btn);
    f->CheckAllEventFilters->SetChecked(true);
    f->CheckAllEventFilters->SetChecked(false);
    f->DebugListBox->Clear();
    return f;
  }
  static QStringList Lines(TFullScreenForm* f) { return f->DebugListBox->Items()->Strings(); }
  // The event names of the log's lines ("On Drag Drop" of " ... On Drag Drop   ").
  static QStringList Names(TFullScreenForm* f) {
    QStringList names;
    for (const QString& line : Lines(f)) names << line.mid(line.indexOf(QLatin1String("On"))).trimmed();
    return names;
  }
  static void Check(TFullScreenForm* f, const QString& item, bool checked = true) {
    const int i = f->EventsCheckListBox->Items()->IndexOf(item);
    ASSERT_GE(i, 0) << item.toStdString();
    f->EventsCheckListBox->SetChecked(i, checked);
  }
  void writeFilters(const QByteArray& ini) {
    ASSERT_TRUE(testsupport::writeFile(programDir() + "/EventsFilters.ini", ini));
  }
};

TEST_F(EventsTab, BuiltInListAndNoLinesWhileAnalysisIsOff) {
  TFullScreenForm* f = showWindows();
  EXPECT_EQ(f->EventsCheckListBox->Count(), 83);
  EXPECT_EQ(f->EventsCheckListBox->Items()->Get(0), "Allow Focus Change");
  EXPECT_EQ(f->EventsCheckListBox->Items()->Get(82), "Zoom Percent Change");
  for (int i = 0; i < 83; ++i) EXPECT_FALSE(f->EventsCheckListBox->Checked(i));
  f->CheckAllEventFilters->SetChecked(true);
  ASSERT_TRUE(Browse(f, localPage("off.html")));
  EXPECT_EQ(f->DebugListBox->Count(), 0);
  EXPECT_FALSE(FullScreenEventsInternals::AnalysisOn(f));
  EXPECT_EQ(f->EV001Btn->Hint(), "Start Analysis ... ");
  Click(f->EV001Btn);
  EXPECT_EQ(f->EV001Btn->Hint(), "Stop Analysis ... ");
  ASSERT_TRUE(Browse(f, localPage("on.html")));
  EXPECT_GT(f->DebugListBox->Count(), 0);
  // The last line is the selected one.
  EXPECT_EQ(f->DebugListBox->ItemIndex(), f->DebugListBox->Count() - 1);
}

TEST_F(EventsTab, WithEveryFilterOffOnlyTheUnfilteredEventsAreLogged) {
  testsupport::LoopbackServer server;
  server.page("/opener.html", "<html><body>opener</body></html>");
  server.page("/opened.html", "<html><body>opened</body></html>");
  server.loginPage("/login.html", "user", "secret", "<html><body>in</body></html>",
                   "<html><body>refused</body></html>");
  ASSERT_TRUE(server.start());
  TFullScreenForm* f = startAnalysis();
  const QSet<QString> unfiltered{"OnAllowFocusChange", "OnAuthenticate", "On Navigate Complete 2",
                                 "On New Window 2", "On New Window 3"};

  // The login the host leaves open is not asked for: no dialog to answer.
  f->WB->SetSilent(true);
  ASSERT_TRUE(Browse(f, server.url("/login.html")));
  EXPECT_TRUE(testsupport::waitFor([&] { return Names(f).contains("OnAuthenticate"); }));
  ASSERT_TRUE(Browse(f, server.url("/opener.html")));
  WebBrowserObject::FromUnknown(f->WB->DefaultInterface().Get())
      ->Page()
      ->runJavaScript("window.open('/opened.html', '_blank', 'width=300,height=200');");
  EXPECT_TRUE(testsupport::waitFor([&] { return Names(f).contains("On New Window 2"); }, 15000))
      << Names(f).join(" | ").toStdString();
  QCoreApplication::processEvents();
  for (const QString& name : Names(f)) EXPECT_TRUE(unfiltered.contains(name)) << name.toStdString();
  EXPECT_TRUE(Names(f).contains("On Navigate Complete 2"));
}

TEST_F(EventsTab, BeforeNavigateCountsOnlyTheLinesLogged) {
  TFullScreenForm* f = startAnalysis();
  Check(f, "Before Navigate");
  ASSERT_TRUE(Browse(f, localPage("one.html")));
  ASSERT_TRUE(Browse(f, localPage("two.html")));
  Check(f, "Before Navigate", false);
  ASSERT_TRUE(Browse(f, localPage("three.html")));
  Check(f, "Before Navigate");
  ASSERT_TRUE(Browse(f, localPage("four.html")));
  QStringList before;
  for (const QString& line : Lines(f))
    if (line.contains("Before Navigate")) before << line;
  EXPECT_EQ(before, (QStringList{" ... On Before Navigate  (1)  ", " ... On Before Navigate  (2)  ",
                                 " ... On Before Navigate  (3)  "}));
}

TEST_F(EventsTab, LineFormatKeepsColonsWhateverTheTimeSeparator) {
  TFullScreenForm* f = startAnalysis();
  const QChar separator = FormatSettings.TimeSeparator;
  FormatSettings.TimeSeparator = '_';
  FullScreenEventsInternals::Log(f, "On Command State Change");
  Click(f->EV005Btn);  // time on
  EXPECT_TRUE(f->EventsTimeCheckBox->Checked());
  EXPECT_TRUE(FullScreenEventsInternals::EventsTimeControl(f));
  FullScreenEventsInternals::Log(f, "On Download Begin");
  FullScreenEventsInternals::Log(f, "On Download Complete");
  FullScreenEventsInternals::Log(f, "On Title Change");
  Click(f->EV005Btn);  // and off again
  EXPECT_FALSE(f->EventsTimeCheckBox->Checked());
  FormatSettings.TimeSeparator = separator;
  const QStringList lines = Lines(f);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], " >> On Command State Change   ");
  const QRegularExpression timed("^\\d\\d:\\d\\d:\\d\\d(.*)$");
  const QStringList rest{" << On Download Begin   ", " << On Download Complete   ",
                         " ... On Title Change   "};
  for (int i = 1; i < 4; ++i) {
    const auto m = timed.match(lines[i]);
    ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
    EXPECT_EQ(m.captured(1), rest[i - 1]);
  }
}

TEST_F(EventsTab, LinesAreDrawnInTheColourOfTheirKind) {
  TFullScreenForm* f = startAnalysis();
  f->DebugListBox->SetWidth(300);
  for (const char* name : {"On Command State Change", "On Download Begin", "On Title Change", "On Enter"})
    FullScreenEventsInternals::Log(f, name);
  f->DebugListBox->SetItemIndex(3);
  const QImage shot = f->DebugListBox->Widget()->grab().toImage();
  // Each 13-pixel line holds text pixels close to its colour, the selected
  // one white text on its own blue.
  auto count = [&](int line, const QColor& colour) {
    int n = 0;
    for (int y = line * 13; y < line * 13 + 13 && y < shot.height(); ++y)
      for (int x = 0; x < 250 && x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                std::abs(c.blue() - colour.blue()) <
            40)
          ++n;
      }
    return n;
  };
  const QColor olive(0x80, 0x80, 0x00), teal(0x00, 0x80, 0x80), grey(0x80, 0x80, 0x80);
  const QColor selected(0x0A, 0x5F, 0x89);
  EXPECT_GT(count(0, olive), 5);
  EXPECT_EQ(count(0, teal), 0);
  EXPECT_GT(count(1, teal), 5);
  EXPECT_EQ(count(1, olive), 0);
  EXPECT_GT(count(2, grey), 5);
  EXPECT_EQ(count(2, teal) + count(2, olive), 0);
  EXPECT_GT(count(3, selected), 13 * 100);
  EXPECT_EQ(count(0, selected) + count(1, selected) + count(2, selected), 0);
}

TEST_F(EventsTab, AThreeKeyIniGivesThreeSortedItemsAndGatesByName) {
  writeFilters("[items]\nZeta=1\nAlpha=0\nMid=1\n");
  TFullScreenForm* f = showWindows();
  EXPECT_EQ(f->EventsCheckListBox->Items()->Strings(), (QStringList{"Alpha", "Mid", "Zeta"}));
  EXPECT_FALSE(f->EventsCheckListBox->Checked(0));
  EXPECT_TRUE(f->EventsCheckListBox->Checked(1));
  EXPECT_TRUE(f->EventsCheckListBox->Checked(2));
  // The events' own items are missing: they read unchecked.
  Click(f->EV001Btn);
  ASSERT_TRUE(Browse(f, localPage("gated.html")));
  for (const QString& line : Lines(f)) EXPECT_FALSE(line.contains("Before Navigate")) << line.toStdString();
}

TEST_F(EventsTab, TheCommittedIniNamesEveryItemAndTheNavigationDefaults) {
  // The build put it beside the program.
  ASSERT_TRUE(QFile::copy(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/EventsFilters.ini"),
                          programDir() + "/EventsFilters.ini"));
  TFullScreenForm* f = showWindows();
  EXPECT_EQ(f->EventsCheckListBox->Count(), 83);
  Click(f->EV004Btn);
  EXPECT_TRUE(FullScreenEventsInternals::DefaultFiltersOn(f));
  const QStringList defaults = f->EventsCheckListBox->Items()->Strings();
  EXPECT_TRUE(defaults.contains("Before Navigate"));
  EXPECT_TRUE(defaults.contains("Document Complete"));
  for (int i = 0; i < f->EventsCheckListBox->Count(); ++i) EXPECT_TRUE(f->EventsCheckListBox->Checked(i));
  Click(f->EV001Btn);
  ASSERT_TRUE(Browse(f, localPage("defaults.html")));
  EXPECT_TRUE(Names(f).contains("On Before Navigate  (1)"));
  EXPECT_TRUE(Names(f).contains("On Document Complete"));
}

TEST_F(EventsTab, DefaultButtonWithAndWithoutTheIni) {
  {
    TFullScreenForm* f = showWindows();
    f->CheckAllEventFilters->SetChecked(true);
    Click(f->EV004Btn);
    EXPECT_FALSE(f->CheckAllEventFilters->Checked());
    EXPECT_EQ(f->EventsCheckListBox->Count(), 83);
    for (int i = 0; i < 83; ++i) EXPECT_FALSE(f->EventsCheckListBox->Checked(i));
    EXPECT_TRUE(FullScreenEventsInternals::DefaultFiltersOn(f));
    Click(f->EV004Btn);
    EXPECT_FALSE(FullScreenEventsInternals::DefaultFiltersOn(f));
  }
  FinalizeForms();
  InitializeForms();
  Application->SetTitle(QStringLiteral("Noctivane"));
  writeFilters(
      "[items]\nBefore Navigate=1\nExit=0\nTitle Change=0\n[default]\nBefore Navigate=\nExit=\nLost=\n");
  TFullScreenForm* f = showWindows();
  Click(f->EV004Btn);
  EXPECT_EQ(f->EventsCheckListBox->Items()->Strings(), (QStringList{"Before Navigate", "Exit", "Lost"}));
  EXPECT_TRUE(f->EventsCheckListBox->Checked(0));
  EXPECT_FALSE(f->EventsCheckListBox->Checked(1));
  EXPECT_FALSE(f->EventsCheckListBox->Checked(2));  // no value in [items]
}

TEST_F(EventsTab, SavesAnEmptyAndAFullLogAndPrintsIt) {
  TFullScreenForm* f = startAnalysis();
  TScriptedDialogService dialogs;
  const QString empty = programDir() + "/empty.txt";
  dialogs.QueueFile(empty);
  Click(f->Ev002Btn);
  ASSERT_TRUE(QFile::exists(empty));
  EXPECT_EQ(testsupport::readFile(empty), "");
  EXPECT_EQ(dialogs.CallsOf(TScriptedDialogService::dkSave).back().Filter, "Text File|*.txt");

  for (int i = 0; i < 150; ++i) FullScreenEventsInternals::Log(f, QStringLiteral("On Line %1").arg(i));
  const QString full = programDir() + "/full.txt";
  dialogs.QueueFile(full);
  Click(f->Ev002Btn);
  const QStringList saved = QString::fromUtf8(testsupport::readFile(full)).split("\r\n", Qt::SkipEmptyParts);
  EXPECT_EQ(saved, Lines(f));

  // Printing: the log's lines on pages of the chosen printer.
  const QString pdf = programDir() + "/log.pdf";
  Printer()->SetOutputFile(pdf);
  dialogs.QueuePrint(false);
  Click(f->EV003Btn);
  EXPECT_FALSE(QFile::exists(pdf));
  dialogs.QueuePrint(true);
  Click(f->EV003Btn);
  Printer()->SetOutputFile(QString());
  const QByteArray printed = testsupport::readFile(pdf);
  ASSERT_TRUE(printed.startsWith("%PDF-")) << printed.left(10).toStdString();
  // 150 lines of 15 units do not fit one page.
  EXPECT_GE(QString::fromLatin1(printed).count(QRegularExpression("/Type\\s*/Page[^s]")), 2);
}

TEST_F(EventsTab, OneDragDropGivesOneLine) {
  TFullScreenForm* f = startAnalysis();
  auto drop = [&] {
    f->Panel2->BeginDrag(true);
    QWidget* target = f->WB->Widget();
    QTest::mouseMove(target, target->rect().center());
    QTest::mouseRelease(target, Qt::LeftButton, {}, target->rect().center());
    QCoreApplication::processEvents();
  };
  drop();
  EXPECT_TRUE(Lines(f).isEmpty());
  Check(f, "Drag Drop");
  drop();
  EXPECT_EQ(Lines(f), QStringList{" ... On Drag Drop   "});
  EXPECT_FALSE(f->Panel2->Dragging());
}

}  // namespace
