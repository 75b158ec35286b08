#pragma once
// An HTTP server on 127.0.0.1 with an ephemeral port, running on a thread of
// its own for the life of the object, and helpers for wide strings.
#include <httplib.h>

#include <QString>

#include <string>
#include <thread>

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer() { stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  httplib::Server& http() { return server_; }

  // Call after the routes are set.
  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void stop() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }

  int port() const { return port_; }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(QString::fromUtf8(path));
  }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

// A null-terminated wide copy that lives as long as the object.
struct Wide {
  explicit Wide(const QString& s) : text(s.toStdU16String()) {}
  explicit Wide(const char* s) : text(QString::fromUtf8(s).toStdU16String()) {}
  operator const char16_t*() const { return text.c_str(); }
  std::u16string text;
};
