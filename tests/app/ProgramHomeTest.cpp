// The real program, started as a child process with a profile and a home
// folder of its own: a secure page is shown, and the home folder stays
// empty, since the profile holds the engine's storage and its certificate
// store as well.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/shdocvw/TrustedCertificates.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TestSupport.h"

namespace {

class ProgramHome : public apptest::AppTest {};

// Every file and folder below `dir`, relative to it.
QStringList Contents(const QString& dir) {
  QStringList names;
  QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) names << QDir(dir).relativeFilePath(it.next());
  return names;
}

TEST_F(ProgramHome, ARunOnASecurePageWritesNothingIntoTheHomeFolder) {
  testsupport::LoopbackServer server(testsupport::LoopbackServer::Https);
  server.page("/home.html", "<html><head><title>Home</title></head><body>home</body></html>");
  ASSERT_TRUE(server.start());
  // The child shares this test's profile: it finds the start page and the
  // trusted certificate there.
  ASSERT_TRUE(testsupport::writeFile(TrustedCertificatesDir() + "/home.pem", server.certificate().pem));
  setStartPage(server.url("/home.html"));

  QTemporaryDir home;
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("NOCTIVANE_PROGRAM_DIR", programDir());
  env.insert("NOCTIVANE_BENCH_EXIT_ON_COMPLETE", "1");
  env.insert("HOME", home.path());
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
    env.remove(name);
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(NOCTIVANE_PROGRAM_DIR "/Noctivane"), {});
  ASSERT_TRUE(program.waitForStarted());
  const bool finished = program.waitForFinished(60000);
  if (!finished) program.kill();
  ASSERT_TRUE(finished) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitCode(), 0);
  const QByteArray out = program.readAllStandardOutput();
  EXPECT_TRUE(out.trimmed().endsWith(server.url("/home.html").toUtf8())) << out.toStdString();
  // The page itself was served: its certificate was checked and taken.
  EXPECT_GE(server.requestCount(), 1);

  EXPECT_EQ(Contents(home.path()), QStringList());
  // The engine's storage is in the profile's Engine folder.
  EXPECT_TRUE(QFileInfo::exists(testsupport::profileDir() + "/Engine/Cache"))
      << Contents(testsupport::profileDir() + "/Engine").join(' ').toStdString();
}

}  // namespace
