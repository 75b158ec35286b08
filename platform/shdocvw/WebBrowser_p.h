#pragma once
// What the source files of the browser object share (not for other files):
// the engine callback count, event arguments and the engine-side classes.
#include "platform/shdocvw/TrustedCertificates.h"
#include "platform/shdocvw/WebBrowser.h"

#include <QContextMenuEvent>
#include <QMutex>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <functional>

namespace shdocvw_detail {

// Code running inside a call from the engine (a signal or a virtual of the
// page) counts here, so that a browser released meanwhile leaves the
// deletion of the engine objects to the event loop.
inline int g_engineCallbackDepth = 0;

// ---- event arguments (shallow: the caller keeps the values alive)

inline VARIANT boolean(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

inline VARIANT dispatch(IDispatch* value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = value;
  return v;
}

inline VARIANT refVariant(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}

inline VARIANT refI4(LONG* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_I4;
  v.plVal = target;
  return v;
}

inline VARIANT refBool(VARIANT_BOOL* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_BOOL;
  v.pboolVal = target;
  return v;
}

// The value of an optional argument (null, missing and by reference allowed).
inline OleVariant argumentValue(const VARIANT* v) {
  OleVariant out;
  if (v) VariantCopyInd(&out, v);
  if (out.vt == VT_ERROR) out.clear();
  return out;
}

// Marks a call from the engine and keeps the browser alive through it.
class EngineCallback {
 public:
  explicit EngineCallback(WebBrowserObject* object) : keep_(object->GetUnknown()) { ++g_engineCallbackDepth; }
  ~EngineCallback() {
    keep_.Reset();  // may end the browser: still counted as inside the engine
    --g_engineCallbackDepth;
  }
  EngineCallback(const EngineCallback&) = delete;
  EngineCallback& operator=(const EngineCallback&) = delete;

 private:
  ComPtr<IUnknown> keep_;
};

// Sets the user agent of the browser's own requests.
class UserAgentInterceptor : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void setUserAgent(const QByteArray& agent) {
    QMutexLocker lock(&mutex_);
    agent_ = agent;
  }
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    QMutexLocker lock(&mutex_);
    if (!agent_.isEmpty()) info.setHttpHeader("User-Agent", agent_);
  }

 private:
  QMutex mutex_;
  QByteArray agent_;
};

// Runs its action whenever a dynamic property of the object it filters
// changes: a page keeps its text size and optical zoom in such properties.
class PropertyWatcher : public QObject {
 public:
  PropertyWatcher(QObject* parent, std::function<void()> action)
      : QObject(parent), action_(std::move(action)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::DynamicPropertyChange && action_) action_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> action_;
};

class BrowserPage : public QWebEnginePage {
 public:
  BrowserPage(QWebEngineProfile* profile, WebBrowserObject* owner) : QWebEnginePage(profile), owner(owner) {
    // A certificate no authority vouches for is taken only when the profile
    // trusts that very certificate; any other certificate error refuses the
    // page, which shows the engine's error page and reports NavigateError.
    connect(this, &QWebEnginePage::certificateError, this, [this](QWebEngineCertificateError error) {
      const bool trusted = error.type() == QWebEngineCertificateError::CertificateAuthorityInvalid &&
                           error.isOverridable() &&
                           ProfileTrustsCertificate(error.certificateChain(), error.url().host());
      if (trusted) {
        error.acceptCertificate();
      } else {
        refusedCertificates.append(error.url());
        error.rejectCertificate();
      }
    });
  }

  // Cleared when the browser object ends before its page.
  WebBrowserObject* owner;
  // Addresses whose certificate was refused and whose error page is still to come.
  QList<QUrl> refusedCertificates;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (!owner) return false;
    EngineCallback call(owner);
    return owner->onNavigationRequest(url, type, isMainFrame);
  }

  void javaScriptAlert(const QUrl&, const QString& msg) override {
    if (!owner) return;
    EngineCallback call(owner);
    owner->onScriptMessage(msg, MB_OK | MB_ICONEXCLAMATION);
  }

  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                const QString& sourceID) override {
    if (owner && level == ErrorMessageLevel) {
      EngineCallback call(owner);
      owner->onScriptError(message, lineNumber, sourceID);
    }
  }

  bool javaScriptConfirm(const QUrl&, const QString& msg) override {
    if (!owner) return false;
    EngineCallback call(owner);
    return owner->onScriptMessage(msg, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
  }

  bool javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                        QString* result) override {
    if (!owner) return false;
    EngineCallback call(owner);
    return owner->onScriptPrompt(msg, defaultValue, result);
  }
};

// The view: its context menu is the host's to show first.
class BrowserView : public QWebEngineView {
 public:
  using QWebEngineView::QWebEngineView;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override {
    auto* browserPage = dynamic_cast<BrowserPage*>(page());
    if (browserPage && browserPage->owner) {
      EngineCallback call(browserPage->owner);
      if (browserPage->owner->onContextMenu(event->globalPos())) {
        event->accept();
        return;
      }
    }
    QWebEngineView::contextMenuEvent(event);
  }
};

}  // namespace shdocvw_detail

using shdocvw_detail::argumentValue;
using shdocvw_detail::boolean;
using shdocvw_detail::BrowserPage;
using shdocvw_detail::BrowserView;
using shdocvw_detail::dispatch;
using shdocvw_detail::EngineCallback;
using shdocvw_detail::g_engineCallbackDepth;
using shdocvw_detail::refBool;
using shdocvw_detail::refVariant;
using shdocvw_detail::UserAgentInterceptor;
