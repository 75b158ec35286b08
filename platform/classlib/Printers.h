#pragma once
// The current printer as a drawing surface: a print job is opened with
// BeginDoc, drawn on Canvas page after page (NewPage) and sent with EndDoc.
//
// The printer is the one the print dialog sets up (DialogPrinter()), so a
// job prints where the user chose. The canvas measures in the screen's units
// (1/96 inch, the unit of TFont's Height), so text drawn with a control's
// font keeps its size on paper; PageWidth and PageHeight are in those units.
#include "platform/classlib/Graphics.h"

class QPainter;
class QPrinter;

NOCTIVANE_DECLARE_EXCEPTION(EPrinter, Exception)

class TPrinter : public QObject {
  Q_OBJECT
 public:
  explicit TPrinter(QPrinter& printer, QObject* parent = nullptr);
  ~TPrinter() override;

  // Starts a job named Title on the first page. Raises EPrinter while a job
  // is open, or when no printer is set up or the job cannot be opened.
  void BeginDoc();
  // Ends the page and the job. Raises EPrinter when no job is open or the
  // output could not be completed.
  void EndDoc();
  // Ends the page and starts the next one. Raises EPrinter when no job is open.
  void NewPage();
  // Drops the job; what was drawn is not printed (a file printer may keep a
  // partial file, as the system spooler would not).
  void Abort();

  // Valid while a job is open; drawing on it outside a job raises.
  TCanvas* Canvas() const { return canvas_; }
  bool Printing() const { return painter_ != nullptr; }
  bool Aborted() const { return aborted_; }
  // 1 for the first page of the open job; 0 while none is open.
  int PageNumber() const { return pageNumber_; }
  int PageWidth() const;
  int PageHeight() const;

  String Title() const { return title_; }
  void SetTitle(const String& value) { title_ = value; }

  // Sends the jobs to a PDF file instead of the chosen printer (an empty name
  // goes back to the printer). Tests and "print to file" use it.
  void SetOutputFile(const String& fileName);
  String OutputFile() const;

  QPrinter& QtPrinter() const { return printer_; }

 private:
  void RequireJob(const char* operation) const;

  QPrinter& printer_;
  TCanvas* canvas_;
  std::unique_ptr<QPainter> painter_;
  String title_;
  int pageNumber_ = 0;
  bool aborted_ = false;
};

// The process's printer, over DialogPrinter().
TPrinter* Printer();
