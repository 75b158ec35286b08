#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>

#include "platform/classlib/Printers.h"
#include "tests/support/TestSupport.h"

namespace printerstest {

int PdfPageCount(const QByteArray& pdf) {
  return int(QString::fromLatin1(pdf).count(QRegularExpression("/Type\\s*/Page[^s]")));
}

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file = testsupport::profileDir() + "/printer-test.pdf";
    QFile::remove(file);
    Printer()->SetOutputFile(file);
    Printer()->SetTitle("Printer test");
  }
  void TearDown() override {
    if (Printer()->Printing()) Printer()->Abort();
    Printer()->SetOutputFile(QString());
  }
  QString file;
};

TEST_F(PrinterTest, JobOfSeveralPagesLandsInThePdfFile) {
  TPrinter* p = Printer();
  EXPECT_FALSE(p->Printing());
  EXPECT_EQ(p->PageNumber(), 0);
  p->BeginDoc();
  EXPECT_TRUE(p->Printing());
  EXPECT_EQ(p->PageNumber(), 1);
  p->Canvas()->TextOut(10, 10, "first page");
  p->NewPage();
  p->Canvas()->Brush()->SetColor(clRed);
  p->Canvas()->FillRect(TRect(0, 0, 100, 100));
  p->NewPage();
  EXPECT_EQ(p->PageNumber(), 3);
  p->EndDoc();
  EXPECT_FALSE(p->Printing());
  EXPECT_EQ(p->PageNumber(), 0);

  const QByteArray pdf = testsupport::readFile(file);
  ASSERT_TRUE(pdf.startsWith("%PDF-")) << pdf.left(16).toStdString();
  EXPECT_EQ(PdfPageCount(pdf), 3);
  EXPECT_EQ(p->QtPrinter().docName(), "Printer test");

  // A second job on the same printer replaces the file with its own pages.
  p->BeginDoc();
  p->EndDoc();
  EXPECT_EQ(PdfPageCount(testsupport::readFile(file)), 1);
}

TEST_F(PrinterTest, CanvasMeasuresInScreenUnitsOnEveryResolution) {
  TPrinter* p = Printer();
  const QRectF inches = p->QtPrinter().pageRect(QPrinter::Inch);
  // The page is measured at 96 units per inch whatever the device resolution.
  EXPECT_NEAR(p->PageWidth(), inches.width() * 96, 1.5);
  EXPECT_NEAR(p->PageHeight(), inches.height() * 96, 1.5);
  EXPECT_GT(p->PageHeight(), p->PageWidth());  // portrait

  TBitmap screen;
  screen.SetWidth(10);
  screen.SetHeight(10);
  p->BeginDoc();
  // A font of 11 units is as tall on paper as on the screen.
  EXPECT_EQ(p->Canvas()->TextHeight("Xy"), screen.Canvas()->TextHeight("Xy"));
  p->EndDoc();
}

TEST_F(PrinterTest, OperationsOutsideAJobAndASecondBeginRaise) {
  TPrinter* p = Printer();
  EXPECT_THROW(p->NewPage(), EPrinter);
  EXPECT_THROW(p->EndDoc(), EPrinter);
  p->BeginDoc();
  EXPECT_THROW(p->BeginDoc(), EPrinter);
  EXPECT_TRUE(p->Printing());  // the open job survives the refused start
  p->EndDoc();
  EXPECT_TRUE(testsupport::readFile(file).startsWith("%PDF"));

  // Without a usable printer (none is installed here) a job cannot start.
  p->SetOutputFile(QString());
  if (!p->QtPrinter().isValid()) {
    EXPECT_THROW(p->BeginDoc(), EPrinter);
  }
  EXPECT_FALSE(p->Printing());
}

TEST_F(PrinterTest, AbortEndsTheJobAndMarksIt) {
  TPrinter* p = Printer();
  p->BeginDoc();
  p->Canvas()->TextOut(0, 0, "dropped");
  p->Abort();
  EXPECT_FALSE(p->Printing());
  EXPECT_TRUE(p->Aborted());
  EXPECT_EQ(p->PageNumber(), 0);
  p->Abort();  // nothing open: nothing to do
  p->BeginDoc();
  EXPECT_FALSE(p->Aborted());
  p->EndDoc();
  EXPECT_TRUE(testsupport::readFile(file).startsWith("%PDF"));
}

}  // namespace printerstest
