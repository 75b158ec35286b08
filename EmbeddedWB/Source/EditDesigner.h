#pragma once
// Editing a browser's page in place: switches the document's design mode,
// registers as an edit designer with the document's edit services so that
// every editing event passes through it first, reports each event as small
// events (key states, key, mouse button and position, event type, the source
// element's tag, text and markup), and runs editing commands with the
// browser's own dialogs.
#include <QPointer>

#include "EmbeddedWB/Source/EmbeddedWB.h"
#include "platform/mshtml/MsHtmlEdit.h"

namespace EditDesigner {

using TPreDrag = std::function<HRESULT()>;
using TPreHandleEvent = std::function<HRESULT(Integer inEvtDispId, IHTMLEventObj* pIEventObj)>;
using TPostHandleEvent = TPreHandleEvent;
using TPostEditorEventNotify = TPreHandleEvent;
using TTranslateAccelerator = TPreHandleEvent;
using TErrorEvent = std::function<void(Integer ErrorCode, const String& ErrMessage)>;
using TinnerTextEvent = std::function<void(const String& innerText)>;
using TinnerHtmlEvent = std::function<void(const String& innerHtml)>;
using TKeyPressEvent = std::function<void(Integer Key)>;
using TKeyStateEvent = std::function<void(bool CapsLock, bool NumLock, bool InsertKey, bool altKey,
                                          bool ctrlKey, bool shiftKey)>;
using TMousePositionEvent = std::function<void(Integer X, Integer Y)>;
using TMouseButtonEvent = std::function<void(Integer Button)>;
using TEvtDispIdEvent = std::function<void(Integer inEvtDispId)>;
using TSnapRect = std::function<HRESULT(IHTMLElement* pIElement, RECT& prcNew, DWORD eHandle)>;
using TtypeEvent = std::function<void(const String& type_)>;
using TtoStringEvent = std::function<void(const String& toString)>;
using TtagNameEvent = std::function<void(const String& tagName)>;

class TEditDesigner : public TComponent {
  Q_OBJECT
  Q_PROPERTY(QString About READ About WRITE SetAbout)
  Q_PROPERTY(bool Enable READ Enable WRITE SetEnable)
  Q_PROPERTY(EmbeddedWB::TEmbeddedWB* EmbeddedWB READ EmbeddedWB WRITE SetEmbeddedWB)

 public:
  Q_INVOKABLE explicit TEditDesigner(TComponent* AOwner);
  ~TEditDesigner() override;

  String About() const { return about_; }
  void SetAbout(const String&) {}
  bool Enable() const { return enable_; }
  void SetEnable(bool value) { enable_ = value; }
  EmbeddedWB::TEmbeddedWB* EmbeddedWB() const { return browser_; }
  void SetEmbeddedWB(EmbeddedWB::TEmbeddedWB* value);
  bool Connected() const { return connected_; }

  // Design mode on and the designer registered; the code of the failure.
  HRESULT ConnectDesigner();
  // The designer removed and design mode off.
  HRESULT DisconnectDesigner();
  void DesignModeOn();
  void DesignModeOff();
  // The document's execCommand; nothing without a document.
  void ExecCommand(const std::u16string& Command, bool ShowUI, Integer Value);
  void CreateLink();
  void InsertImage();
  void InsertInputRadio();
  void Loaded() override;

  // ---- the designer and edit host callbacks (the browser calls them)
  HRESULT PreHandleEvent(Integer inEvtDispId, IHTMLEventObj* pIEventObj);
  HRESULT PostHandleEvent(Integer inEvtDispId, IHTMLEventObj* pIEventObj);
  HRESULT TranslateAccelerator(Integer inEvtDispId, IHTMLEventObj* pIEventObj);
  HRESULT PostEditorEventNotify(Integer inEvtDispId, IHTMLEventObj* pIEventObj);
  HRESULT SnapRect(IHTMLElement* pIElement, RECT* prcNew, DWORD eHandle);
  HRESULT PreDrag();
  // The designer's interface as the edit services hold it.
  IHTMLEditDesigner* DesignerInterface() const;

  TPreDrag OnPreDrag;
  TPreHandleEvent OnPreHandle;
  TPostHandleEvent OnPostHandle;
  TPostEditorEventNotify OnPostEditorNotify;
  TErrorEvent OnError;
  TinnerTextEvent OnInnerText;
  TinnerHtmlEvent OnInnerHtml;
  TKeyPressEvent OnKeyPress;
  TKeyStateEvent OnKeyState;
  TTranslateAccelerator OnTranslateAccelerator;
  TMousePositionEvent OnMousePosition;
  TMouseButtonEvent OnMouseButton;
  TEvtDispIdEvent OnEvtDispId;
  TSnapRect OnSnapRect;
  TtypeEvent OnType_;
  TtoStringEvent OnToString;
  TtagNameEvent OnTagName;

  // How long connecting and disconnecting wait for the browser (milliseconds).
  static inline Cardinal WaitLimit = 30000;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  bool Active() const;
  void Error(HRESULT code, const String& text);
  ComPtr<IHTMLDocument2> Document() const;
  HRESULT Guarded(const char* where, HRESULT fallback, const std::function<HRESULT()>& call);

  class Sink;
  ComPtr<Sink> sink_;
  ComPtr<IHTMLEditServices> services_;
  QPointer<EmbeddedWB::TEmbeddedWB> browser_;
  String about_;
  bool enable_ = true;
  bool connected_ = false;
};

// The unit's start-up registers TEditDesigner with the form streaming.
void initialize();
void finalize();

}  // namespace EditDesigner
