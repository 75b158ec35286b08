#pragma once
// The rich edit control ("RichEdit20W"): its messages, notifications, records
// and the OLE callback interface, answered by the class library's rich edit
// (TRichEdit) once InitializeRichEdit has run.
//
// Character positions count one unit per UTF-16 unit and one per paragraph
// break. Text handed out by EM_GETTEXTRANGE, EM_GETSELTEXT and EM_GETLINE
// marks a paragraph break with CR alone; WM_GETTEXT and Lines use CR LF.
// Lines of the line messages (EM_LINEINDEX, EM_LINEFROMCHAR, ...) are
// paragraphs, the same lines as those of Lines.
#include "platform/com/Com.h"
#include "platform/winapi/Windows.h"

class QPainter;

// ---------------------------------------------------------------- types

using COLORREF = DWORD;
using HGLOBAL = void*;
using CLIPFORMAT = WORD;
// The device context of drawing calls: a painter (TCanvas::GetHandle()).
using HDC = QPainter*;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | COLORREF(g) << 8 | COLORREF(b) << 16; }

// ---------------------------------------------------------------- edit messages

// The formatting rectangle (EM_SETRECT, EM_SETRECTNP) sets one inset of the
// text on all sides: the smaller of its left and top distance from the
// window's edges. EM_GETRECT answers the rectangle set.
inline constexpr UINT EM_GETRECT = 0x00B2;
inline constexpr UINT EM_SETRECT = 0x00B3;
inline constexpr UINT EM_SETRECTNP = 0x00B4;
inline constexpr UINT EM_LINESCROLL = 0x00B6;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_LINEINDEX = 0x00BB;
inline constexpr UINT EM_LINELENGTH = 0x00C1;
inline constexpr UINT EM_GETLINE = 0x00C4;
inline constexpr UINT EM_LINEFROMCHAR = 0x00C9;
inline constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
inline constexpr UINT EM_POSFROMCHAR = 0x00D6;
inline constexpr UINT EM_CHARFROMPOS = 0x00D7;

// ---------------------------------------------------------------- rich edit messages

inline constexpr UINT EM_CANPASTE = WM_USER + 50;
inline constexpr UINT EM_EXGETSEL = WM_USER + 52;
inline constexpr UINT EM_EXLIMITTEXT = WM_USER + 53;
inline constexpr UINT EM_EXLINEFROMCHAR = WM_USER + 54;
inline constexpr UINT EM_EXSETSEL = WM_USER + 55;
inline constexpr UINT EM_FINDTEXT = WM_USER + 56;
inline constexpr UINT EM_FORMATRANGE = WM_USER + 57;
inline constexpr UINT EM_GETCHARFORMAT = WM_USER + 58;
inline constexpr UINT EM_GETEVENTMASK = WM_USER + 59;
inline constexpr UINT EM_GETOLEINTERFACE = WM_USER + 60;
inline constexpr UINT EM_GETPARAFORMAT = WM_USER + 61;
inline constexpr UINT EM_GETSELTEXT = WM_USER + 62;
inline constexpr UINT EM_HIDESELECTION = WM_USER + 63;
inline constexpr UINT EM_PASTESPECIAL = WM_USER + 64;
inline constexpr UINT EM_SELECTIONTYPE = WM_USER + 66;
inline constexpr UINT EM_SETBKGNDCOLOR = WM_USER + 67;
inline constexpr UINT EM_SETCHARFORMAT = WM_USER + 68;
inline constexpr UINT EM_SETEVENTMASK = WM_USER + 69;
inline constexpr UINT EM_SETOLECALLBACK = WM_USER + 70;
inline constexpr UINT EM_SETPARAFORMAT = WM_USER + 71;
inline constexpr UINT EM_STREAMIN = WM_USER + 73;
inline constexpr UINT EM_STREAMOUT = WM_USER + 74;
inline constexpr UINT EM_GETTEXTRANGE = WM_USER + 75;
inline constexpr UINT EM_FINDTEXTEX = WM_USER + 79;
inline constexpr UINT EM_SETUNDOLIMIT = WM_USER + 82;
inline constexpr UINT EM_REDO = WM_USER + 84;
inline constexpr UINT EM_CANREDO = WM_USER + 85;
inline constexpr UINT EM_AUTOURLDETECT = WM_USER + 91;
inline constexpr UINT EM_GETAUTOURLDETECT = WM_USER + 92;
inline constexpr UINT EM_FINDTEXTW = WM_USER + 123;
inline constexpr UINT EM_FINDTEXTEXW = WM_USER + 124;

// ---------------------------------------------------------------- notifications

// High word of WM_COMMAND's WParam (EN_CHANGE is the edit's, 0x0300).
inline constexpr WORD EN_MAXTEXT = 0x0501;
// Codes of WM_NOTIFY.
inline constexpr UINT EN_SELCHANGE = 0x0702;
inline constexpr UINT EN_LINK = 0x070B;

// EM_SETEVENTMASK: which notifications the parent receives. The control
// sends EN_CHANGE, EN_SELCHANGE and EN_LINK (and EN_MAXTEXT, which needs no
// bit); the other bits are kept but raise nothing.
inline constexpr DWORD ENM_NONE = 0x00000000;
inline constexpr DWORD ENM_CHANGE = 0x00000001;
inline constexpr DWORD ENM_UPDATE = 0x00000002;
inline constexpr DWORD ENM_SCROLL = 0x00000004;
inline constexpr DWORD ENM_KEYEVENTS = 0x00010000;
inline constexpr DWORD ENM_MOUSEEVENTS = 0x00020000;
inline constexpr DWORD ENM_REQUESTRESIZE = 0x00040000;
inline constexpr DWORD ENM_SELCHANGE = 0x00080000;
inline constexpr DWORD ENM_DROPFILES = 0x00100000;
inline constexpr DWORD ENM_PROTECTED = 0x00200000;
inline constexpr DWORD ENM_LINK = 0x04000000;

// ---------------------------------------------------------------- ranges and text

struct CHARRANGE {
  LONG cpMin = 0;
  LONG cpMax = 0;
};

struct TEXTRANGEW {
  CHARRANGE chrg;
  LPWSTR lpstrText = nullptr;  // receives the text and a terminating zero
};

struct FINDTEXTW {
  CHARRANGE chrg;
  LPCWSTR lpstrText = nullptr;
};

struct FINDTEXTEXW {
  CHARRANGE chrg;
  LPCWSTR lpstrText = nullptr;
  CHARRANGE chrgText;  // receives the range found
};

// EM_FINDTEXT(EX) WParam. Without FR_DOWN the search runs backwards from
// chrg.cpMin to chrg.cpMax.
inline constexpr WPARAM FR_DOWN = 0x00000001;
inline constexpr WPARAM FR_WHOLEWORD = 0x00000002;
inline constexpr WPARAM FR_MATCHCASE = 0x00000004;

// Selection kinds (EM_SELECTIONTYPE, SELCHANGE::seltyp, GetContextMenu).
inline constexpr WORD SEL_EMPTY = 0x0000;
inline constexpr WORD SEL_TEXT = 0x0001;
inline constexpr WORD SEL_OBJECT = 0x0002;
inline constexpr WORD SEL_MULTICHAR = 0x0004;
inline constexpr WORD SEL_MULTIOBJECT = 0x0008;

struct SELCHANGE {
  NMHDR nmhdr;
  CHARRANGE chrg;
  WORD seltyp = 0;
};

// EN_LINK: a mouse message over a link. A non-zero answer of the parent
// keeps the control from handling the message.
struct ENLINK {
  NMHDR nmhdr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  CHARRANGE chrg;
};

// ---------------------------------------------------------------- character formats

inline constexpr DWORD CFM_BOLD = 0x00000001;
inline constexpr DWORD CFM_ITALIC = 0x00000002;
inline constexpr DWORD CFM_UNDERLINE = 0x00000004;
inline constexpr DWORD CFM_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFM_PROTECTED = 0x00000010;
inline constexpr DWORD CFM_LINK = 0x00000020;
inline constexpr DWORD CFM_WEIGHT = 0x00400000;
inline constexpr DWORD CFM_BACKCOLOR = 0x04000000;
inline constexpr DWORD CFM_CHARSET = 0x08000000;
inline constexpr DWORD CFM_OFFSET = 0x10000000;
inline constexpr DWORD CFM_FACE = 0x20000000;
inline constexpr DWORD CFM_COLOR = 0x40000000;
inline constexpr DWORD CFM_SIZE = 0x80000000;
inline constexpr DWORD CFM_EFFECTS =
    CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_COLOR | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK;

inline constexpr DWORD CFE_BOLD = 0x00000001;
inline constexpr DWORD CFE_ITALIC = 0x00000002;
inline constexpr DWORD CFE_UNDERLINE = 0x00000004;
inline constexpr DWORD CFE_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFE_PROTECTED = 0x00000010;
inline constexpr DWORD CFE_LINK = 0x00000020;
inline constexpr DWORD CFE_AUTOBACKCOLOR = CFM_BACKCOLOR;
// The text colour is the system's window text colour (crTextColor is ignored).
inline constexpr DWORD CFE_AUTOCOLOR = 0x40000000;

// EM_SETCHARFORMAT WParam (EM_GETCHARFORMAT: SCF_DEFAULT or SCF_SELECTION).
inline constexpr WPARAM SCF_DEFAULT = 0x0000;
inline constexpr WPARAM SCF_SELECTION = 0x0001;
inline constexpr WPARAM SCF_WORD = 0x0002;
inline constexpr WPARAM SCF_ALL = 0x0004;

inline constexpr int LF_FACESIZE = 32;

// CHARFORMAT2W; a record whose cbSize is that of the shorter CHARFORMATW
// (up to szFaceName) is accepted as well.
struct CHARFORMAT2W {
  UINT cbSize = sizeof(CHARFORMAT2W);
  DWORD dwMask = 0;
  DWORD dwEffects = 0;
  LONG yHeight = 0;  // twips (1/20 point)
  LONG yOffset = 0;
  COLORREF crTextColor = 0;
  BYTE bCharSet = 0;
  BYTE bPitchAndFamily = 0;
  WCHAR szFaceName[LF_FACESIZE] = {};
  WORD wWeight = 0;
  SHORT sSpacing = 0;
  COLORREF crBackColor = 0;
  LCID lcid = 0;
  DWORD dwReserved = 0;
  SHORT sStyle = 0;
  WORD wKerning = 0;
  BYTE bUnderlineType = 0;
  BYTE bAnimation = 0;
  BYTE bRevAuthor = 0;
  BYTE bReserved1 = 0;
};
// The size of the shorter CHARFORMATW record.
inline constexpr UINT kCharFormatWSize = UINT(offsetof(CHARFORMAT2W, wWeight));

// ---------------------------------------------------------------- paragraph formats

inline constexpr DWORD PFM_STARTINDENT = 0x00000001;
inline constexpr DWORD PFM_RIGHTINDENT = 0x00000002;
inline constexpr DWORD PFM_OFFSET = 0x00000004;
inline constexpr DWORD PFM_ALIGNMENT = 0x00000008;

inline constexpr WORD PFA_LEFT = 1;
inline constexpr WORD PFA_RIGHT = 2;
inline constexpr WORD PFA_CENTER = 3;
inline constexpr WORD PFA_JUSTIFY = 4;

inline constexpr int MAX_TAB_STOPS = 32;

// The control keeps the alignment of paragraphs; the other members are
// accepted and not applied.
struct PARAFORMAT2 {
  UINT cbSize = sizeof(PARAFORMAT2);
  DWORD dwMask = 0;
  WORD wNumbering = 0;
  WORD wEffects = 0;
  LONG dxStartIndent = 0;
  LONG dxRightIndent = 0;
  LONG dxOffset = 0;
  WORD wAlignment = 0;
  SHORT cTabCount = 0;
  LONG rgxTabs[MAX_TAB_STOPS] = {};
  LONG dySpaceBefore = 0;
  LONG dySpaceAfter = 0;
  LONG dyLineSpacing = 0;
  SHORT sStyle = 0;
  BYTE bLineSpacingRule = 0;
  BYTE bOutlineLevel = 0;
  WORD wShadingWeight = 0;
  WORD wShadingStyle = 0;
  WORD wNumberingStart = 0;
  WORD wNumberingStyle = 0;
  WORD wNumberingTab = 0;
  WORD wBorderSpace = 0;
  WORD wBorderWidth = 0;
  WORD wBorders = 0;
};

// ---------------------------------------------------------------- streams

// Called repeatedly by EM_STREAMIN (to fill `buffer` with up to `cb` bytes;
// 0 bytes ends the input) and EM_STREAMOUT (to take `cb` bytes; the bytes it
// took go to *pcb, the rest is offered again). A non-zero answer stops the
// transfer and is kept in dwError.
using EDITSTREAMCALLBACK = DWORD (*)(DWORD_PTR dwCookie, BYTE* pbBuff, LONG cb, LONG* pcb);

struct EDITSTREAM {
  DWORD_PTR dwCookie = 0;
  DWORD dwError = 0;
  EDITSTREAMCALLBACK pfnCallback = nullptr;
};

// EM_STREAMIN / EM_STREAMOUT WParam. SF_TEXT is UTF-8 (input that is no
// valid UTF-8 is read in code page 1252) with CR LF line ends; SF_UNICODE
// with SF_TEXT is UTF-16 (little-endian). SF_RTF input that is no RTF is read
// as text. SFF_SELECTION works on the selection instead of the whole text.
inline constexpr WPARAM SF_TEXT = 0x0001;
inline constexpr WPARAM SF_RTF = 0x0002;
inline constexpr WPARAM SF_RTFNOOBJS = 0x0003;
inline constexpr WPARAM SF_UNICODE = 0x0010;
inline constexpr WPARAM SFF_PLAINRTF = 0x4000;
inline constexpr WPARAM SFF_SELECTION = 0x8000;

// ---------------------------------------------------------------- printing

// EM_FORMATRANGE: the rectangles are in twips of the target device; the
// answer is the index of the first character that did not fit.
struct FORMATRANGE {
  HDC hdc = nullptr;
  HDC hdcTarget = nullptr;
  RECT rc;
  RECT rcPage;
  CHARRANGE chrg;
};

// ---------------------------------------------------------------- the OLE callback

struct IStorage;
struct IOleObject;
struct IDataObject;
struct IOleInPlaceFrame;
struct IOleInPlaceUIWindow;
struct OLEINPLACEFRAMEINFO;

// Operations of QueryAcceptData and GetClipboardData.
inline constexpr DWORD RECO_PASTE = 0x00000000;
inline constexpr DWORD RECO_DROP = 0x00000001;
inline constexpr DWORD RECO_COPY = 0x00000002;
inline constexpr DWORD RECO_CUT = 0x00000003;
inline constexpr DWORD RECO_DRAG = 0x00000004;

// Clipboard formats a callback may ask QueryAcceptData to paste in.
inline constexpr CLIPFORMAT CF_TEXT = 1;
inline constexpr CLIPFORMAT CF_UNICODETEXT = 13;

// The container's side of the control. The control calls GetContextMenu when
// the user asks for a context menu (the menu answered is shown with
// TrackPopupMenu, owned by the control's parent window, and destroyed
// afterwards) and QueryAcceptData before every paste (a failure answer
// refuses the paste; CF_TEXT or CF_UNICODETEXT in *lpcfFormat pastes plain
// text). The control holds no embedded objects and passes no data object, so
// the other methods are not called. The control keeps the callback without
// a reference of its own: its owner keeps it alive while the control lives or
// hands over another one (or null) before freeing it.
struct IRichEditOleCallback : IUnknown {
  virtual HRESULT GetNewStorage(IStorage** lplpstg) = 0;
  virtual HRESULT GetInPlaceContext(IOleInPlaceFrame** lplpFrame, IOleInPlaceUIWindow** lplpDoc,
                                    OLEINPLACEFRAMEINFO* lpFrameInfo) = 0;
  virtual HRESULT ShowContainerUI(BOOL fShow) = 0;
  virtual HRESULT QueryInsertObject(CLSID* lpclsid, IStorage* lpstg, LONG cp) = 0;
  virtual HRESULT DeleteObject(IOleObject* lpoleobj) = 0;
  virtual HRESULT QueryAcceptData(IDataObject* lpdataobj, CLIPFORMAT* lpcfFormat, DWORD reco, BOOL fReally,
                                  HGLOBAL hMetaPict) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL fEnterMode) = 0;
  virtual HRESULT GetClipboardData(CHARRANGE* lpchrg, DWORD reco, IDataObject** lplpdataobj) = 0;
  virtual HRESULT GetDragDropEffect(BOOL fDrag, DWORD grfKeyState, DWORD* pdwEffect) = 0;
  virtual HRESULT GetContextMenu(WORD seltype, IOleObject* lpoleobj, CHARRANGE* lpchrg, HMENU* lphmenu) = 0;
};
NOCTIVANE_DECLARE_IID(IRichEditOleCallback, IUnknown, "{00020D03-0000-0000-C000-000000000046}")

// ---------------------------------------------------------------- start-up

// Makes the class library's rich edits answer the messages above, stream
// their Lines as RTF (unless PlainText) and print, and registers the
// control's library "RICHED20.DLL". Idempotent.
void InitializeRichEdit();
