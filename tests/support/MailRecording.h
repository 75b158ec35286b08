#pragma once
// What the mail tests share: a hand-off that records the messages the mail
// system stores instead of giving them to a mail client, and Python's mail
// parser's reading of a stored message. For suites that link the mail layer.
#include "platform/mapi/Mapi.h"
#include "tests/support/TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace testsupport {

// Records each hand-off (file and flags) and answers `answer`; while held,
// a hand-off waits for Release. The previous hand-off is back afterwards.
class RecordingHandOff {
 public:
  explicit RecordingHandOff(ULONG answer = SUCCESS_SUCCESS) : answer_(answer) {
    previous_ = SetMailHandOff([this](const String& file, FLAGS flags) {
      std::unique_lock lock(mutex_);
      files_.push_back(file);
      flags_.push_back(flags);
      entered_ = true;
      released_.wait(lock, [this] { return !hold_; });
      return answer_.load();
    });
  }
  ~RecordingHandOff() {
    Release();
    SetMailHandOff(previous_);
  }
  RecordingHandOff(const RecordingHandOff&) = delete;
  RecordingHandOff& operator=(const RecordingHandOff&) = delete;

  void Hold() { hold_ = true; }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      hold_ = false;
    }
    released_.notify_all();
  }
  bool Entered() {
    std::lock_guard lock(mutex_);
    return entered_;
  }
  // The stored messages handed off so far, in order.
  std::vector<String> Files() {
    std::lock_guard lock(mutex_);
    return files_;
  }
  std::vector<FLAGS> Flags() {
    std::lock_guard lock(mutex_);
    return flags_;
  }

 private:
  std::atomic<ULONG> answer_;
  std::mutex mutex_;
  std::condition_variable released_;
  bool hold_ = false;
  bool entered_ = false;
  std::vector<String> files_;
  std::vector<FLAGS> flags_;
  TMailHandOff previous_;
};

// A stored message as Python's mail parser reads it: the address and subject
// headers present, "body" (the plain text), "attachments" ([file name, text]
// pairs) and "defects" (the parser's complaints).
inline QJsonObject parseMail(const String& file) {
  const char* script = R"PY(
import sys, json, email
from email import policy
msg = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)
out = {h: str(msg[h]) for h in ('From', 'To', 'Cc', 'Bcc', 'Subject', 'Disposition-Notification-To') if msg[h] is not None}
body = msg.get_body(preferencelist=('plain',))
out['body'] = body.get_content() if body is not None else None
out['attachments'] = [[a.get_filename(), a.get_payload(decode=True).decode('utf-8', 'replace')] for a in msg.iter_attachments()]
out['defects'] = [type(d).__name__ for d in msg.defects]
print(json.dumps(out))
)PY";
  return QJsonDocument::fromJson(runPython(script, {file})).object();
}

}  // namespace testsupport
