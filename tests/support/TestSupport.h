#pragma once
// Helpers shared by the test suites.
#include <QString>
#include <QStringList>
#include <functional>
#include <iosfwd>

// Failure messages show strings as quoted text (found by argument lookup).
void PrintTo(const QString& s, std::ostream* os);

namespace testsupport {

// The temporary profile folder the test main created for this run.
QString profileDir();

// Runs the Qt event loop until `done` answers true or `timeoutMs` passes.
// Returns the last answer of `done`.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Writes bytes to a file, creating the folders on the way. Returns false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Whether python3 is there to read files back with its own parsers.
bool havePython();
// Runs a Python script with the arguments and answers what it printed; adds a
// test failure (and answers nothing) when it does not finish cleanly.
QByteArray runPython(const char* script, const QStringList& args);

// Collects the lines written to the debugger output (OutputDebugStringW) while
// it lives; `enable` turns the quiet-by-default logging category on for that
// time. One capture at a time.
class DebugOutputCapture {
 public:
  explicit DebugOutputCapture(bool enable = true);
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;
  QStringList lines() const;
};

}  // namespace testsupport
