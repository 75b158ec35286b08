// The main of every test binary: a real Qt application on the offscreen
// platform, the engine without sandbox or GPU, and a fresh profile folder
// that also holds the home folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "platform/rtl/Folders.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking");
  QTemporaryDir profile;
  qputenv("NOCTIVANE_PROFILE", profile.path().toUtf8());
  // Nothing a test starts writes into the real home.
  KeepHomeInsideProfile();

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
