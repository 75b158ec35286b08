#include "platform/classlib/Printers.h"

#include <QPainter>
#include <QPrinter>

#include "platform/classlib/Dialogs.h"

namespace {

// Canvas units per inch: those of the screen, which TFont's heights count in.
constexpr double kCanvasDpi = TFont::PixelsPerInch;

double CanvasScale(const QPrinter& printer) { return printer.resolution() / kCanvasDpi; }

}  // namespace

TPrinter::TPrinter(QPrinter& printer, QObject* parent)
    : QObject(parent), printer_(printer), canvas_(new TCanvas(this)) {}

TPrinter::~TPrinter() {
  if (painter_) Abort();
}

void TPrinter::RequireJob(const char* operation) const {
  if (!painter_) throw EPrinter(QStringLiteral("Printer is not currently printing (%1)").arg(operation));
}

void TPrinter::BeginDoc() {
  if (painter_) throw EPrinter(QStringLiteral("Printing in progress"));
  if (printer_.outputFormat() == QPrinter::NativeFormat && !printer_.isValid())
    throw EPrinter(QStringLiteral("There is no default printer currently selected"));
  printer_.setDocName(title_);
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(&printer_)) throw EPrinter(QStringLiteral("Printing \"%1\" failed").arg(title_));
  const double scale = CanvasScale(printer_);
  painter->scale(scale, scale);
  painter_ = std::move(painter);
  canvas_->SetPainter(painter_.get());
  aborted_ = false;
  pageNumber_ = 1;
}

void TPrinter::EndDoc() {
  RequireJob("EndDoc");
  canvas_->SetPainter(nullptr);
  const bool ended = painter_->end();
  painter_.reset();
  pageNumber_ = 0;
  if (!ended) throw EPrinter(QStringLiteral("Printing \"%1\" failed").arg(title_));
}

void TPrinter::NewPage() {
  RequireJob("NewPage");
  if (!printer_.newPage()) throw EPrinter(QStringLiteral("Printing \"%1\" failed").arg(title_));
  ++pageNumber_;
}

void TPrinter::Abort() {
  if (!painter_) return;
  canvas_->SetPainter(nullptr);
  printer_.abort();
  if (painter_->isActive()) painter_->end();
  painter_.reset();
  pageNumber_ = 0;
  aborted_ = true;
}

int TPrinter::PageWidth() const {
  return qRound(printer_.pageRect(QPrinter::DevicePixel).width() / CanvasScale(printer_));
}

int TPrinter::PageHeight() const {
  return qRound(printer_.pageRect(QPrinter::DevicePixel).height() / CanvasScale(printer_));
}

void TPrinter::SetOutputFile(const String& fileName) {
  if (fileName.isEmpty()) {
    printer_.setOutputFileName(QString());
    printer_.setOutputFormat(QPrinter::NativeFormat);
  } else {
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(fileName);
  }
}

String TPrinter::OutputFile() const { return printer_.outputFileName(); }

TPrinter* Printer() {
  // One for the run, as the platform has one current printer.
  static TPrinter* printer = new TPrinter(DialogPrinter());
  return printer;
}
