// The non-visual components of both windows' form data: the URL security
// managers with every policy written out, and the tools window's download
// component with its design settings.
#include <gtest/gtest.h>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/Streaming.h"
#include "tests/app/AppTestSupport.h"

namespace {

using namespace SecurityManager;

class NonVisualComponents : public apptest::AppTest {};

void expectFormPolicy(TForm* form, TSecurityManager* manager) {
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->Owner(), form);
  const TUrlPolicyOptions* p = manager->UrlPolicy();
  EXPECT_EQ(p->ActiveX(), Allow);
  EXPECT_EQ(p->CrossDomainData(), Allow);
  EXPECT_EQ(p->JavaPermissions(), Prohibited);
  EXPECT_EQ(p->SubmitForms(), Allow);
  EXPECT_EQ(p->Scripts(), Allow);
  const QString text = WriteComponentRes(form);
  const qsizetype at = text.indexOf("object SecurityManager: TSecurityManager");
  ASSERT_GE(at, 0);
  const QString block = text.mid(at, text.indexOf("end", at) - at);
  for (const char* line : {"UrlPolicy.ActiveX = Allow", "UrlPolicy.CrossDomainData = Allow",
                           "UrlPolicy.JavaPermissions = Prohibited", "UrlPolicy.SubmitForms = Allow",
                           "UrlPolicy.Scripts = Allow"})
    EXPECT_TRUE(block.contains(line)) << line;
}

TEST_F(NonVisualComponents, BothWindowsHoldOneWithTheirPolicy) {
  setStartPage(QStringLiteral("about:blank"));
  Application->CreateForm(Menu::MyMenuForm);
  Application->CreateForm(FullScreen::FullScreenForm);
  expectFormPolicy(Menu::MyMenuForm, Menu::MyMenuForm->SecurityManager);
  expectFormPolicy(FullScreen::FullScreenForm, FullScreen::FullScreenForm->SecurityManager);
  // Neither browser hands it out.
  EXPECT_FALSE(Menu::MyMenuForm->WB->OnQueryService);
  EXPECT_FALSE(FullScreen::FullScreenForm->WB->OnQueryService);
}

TEST_F(NonVisualComponents, TheToolsWindowsDownloadComponentAndItsTimeSeparator) {
  setStartPage(QStringLiteral("about:blank"));
  Application->CreateForm(Menu::MyMenuForm);
  Application->CreateForm(FullScreen::FullScreenForm);
  IEDownload::TIEDownload* dl = FullScreen::FullScreenForm->IEDownload;
  ASSERT_NE(dl, nullptr);
  EXPECT_EQ(dl->DefaultProtocol(), "http://");
  EXPECT_EQ(dl->DefaultUrlFileName(), "index.html");
  EXPECT_EQ(dl->TimeOut(), 2147483647);
  EXPECT_EQ(dl->AdditionalHeader()->Count(), 1);
  EXPECT_FALSE(dl->Busy());
  // Default time formats show "_" from start-up on.
  EXPECT_EQ(FormatDateTime("hh:nn:ss", EncodeTime(9, 8, 7, 0)), "09_08_07");
}

}  // namespace
