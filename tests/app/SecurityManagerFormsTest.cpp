// Both windows place a URL security manager from their form data, with every
// policy written out.
#include <gtest/gtest.h>

#include "app/FullScreen.h"
#include "app/Menu.h"
#include "platform/classlib/Streaming.h"
#include "tests/app/AppTestSupport.h"

namespace {

using namespace SecurityManager;

class SecurityManagerForms : public apptest::AppTest {};

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

TEST_F(SecurityManagerForms, BothWindowsHoldOneWithTheirPolicy) {
  setStartPage(QStringLiteral("about:blank"));
  Application->CreateForm(Menu::MyMenuForm);
  Application->CreateForm(FullScreen::FullScreenForm);
  expectFormPolicy(Menu::MyMenuForm, Menu::MyMenuForm->SecurityManager);
  expectFormPolicy(FullScreen::FullScreenForm, FullScreen::FullScreenForm->SecurityManager);
  // Neither browser hands it out.
  EXPECT_FALSE(Menu::MyMenuForm->WB->OnQueryService);
  EXPECT_FALSE(FullScreen::FullScreenForm->WB->OnQueryService);
}

}  // namespace
