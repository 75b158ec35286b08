// The real program, started as a child process: its main block creates the
// windows, the main window goes to the start page, and closing it writes the
// window's place beside the program.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

class Program : public apptest::AppTest {};

TEST_F(Program, StartsOnTheStartPageAndSavesItsPlaceWhenClosed) {
  // The child shares this test's profile, so it finds the start page there.
  const QString page = programDir() + "/home.html";
  ASSERT_TRUE(testsupport::writeFile(page, "<html><head><title>Home</title></head><body>home</body></html>"));
  setStartPage(QUrl::fromLocalFile(page).toString());
  writeIni("[Other]\r\nKept=1\r\n");

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("NOCTIVANE_PROGRAM_DIR", programDir());
  env.insert("NOCTIVANE_BENCH_EXIT_ON_COMPLETE", "1");
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Noctivane"), {});
  ASSERT_TRUE(program.waitForStarted());
  const bool finished = program.waitForFinished(60000);
  if (!finished) program.kill();
  ASSERT_TRUE(finished) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  const QByteArray out = program.readAllStandardOutput();
  EXPECT_TRUE(out.startsWith("DocumentComplete ")) << out.toStdString();
  EXPECT_TRUE(out.trimmed().endsWith(QUrl::fromLocalFile(page).toEncoded())) << out.toStdString();

  // The main window was shown at the default place; closing it wrote that
  // place and left the rest of the file alone.
  const QString ini = programDir() + "/Noctivane.ini";
  EXPECT_EQ(iniValues(ini), QStringList({"Left=0", "Width=800", "Top=0", "Height=600"}));
  EXPECT_TRUE(testsupport::readFile(ini).contains("[Other]\r\nKept=1"));
}

}  // namespace
