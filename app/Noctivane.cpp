// The program's main block.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget mainForm;
  mainForm.setWindowTitle(QStringLiteral("Noctivane"));
  mainForm.resize(800, 600);
  mainForm.show();
  return app.exec();
}
