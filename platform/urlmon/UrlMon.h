#pragma once
// URL monikers and binding, the URL security and zone managers, the Internet
// feature switches and the download helpers of the URL moniker library.
//
// Binding: a URL moniker binds to storage (an IStream of the resource's
// bytes) or to an object. With BINDF_ASYNCHRONOUS in the callback's bind
// information, BindToStorage answers MK_S_ASYNCHRONOUS at once and the
// transfer runs on a worker thread; every callback method is then called on
// the thread that started the binding, from that thread's Qt event loop, in
// order and never re-entered (a callback that runs a nested event loop gets
// the next notification after it returns). Without that flag, or without a
// callback, the binding runs on the calling thread and BindToStorage returns
// when it has ended. http and https go over the network (libcurl, following
// the process-wide proxy settings); file URLs and absolute paths read the
// file system; "about:" gives the text after the colon ("about:blank": no
// data).
#include "platform/com/OleIdl.h"
#include "platform/com/Streams.h"

#include <functional>

struct IBinding;
struct IBindStatusCallback;
struct IRunningObjectTable;
struct IEnumMoniker;
struct DVTARGETDEVICE;
struct IStorage;

using HGLOBAL = void*;
using HANDLE_PTR = ULONG_PTR;
using CLIPFORMAT = WORD;

// ---------------------------------------------------------------- result codes

inline constexpr HRESULT MK_S_ASYNCHRONOUS = 0x000401E8;
inline constexpr HRESULT MK_E_CONNECTMANUALLY = HRESULT(0x800401E0u);
inline constexpr HRESULT MK_E_EXCEEDEDDEADLINE = HRESULT(0x800401E1u);
inline constexpr HRESULT MK_E_NEEDGENERIC = HRESULT(0x800401E2u);
inline constexpr HRESULT MK_E_UNAVAILABLE = HRESULT(0x800401E3u);
inline constexpr HRESULT MK_E_SYNTAX = HRESULT(0x800401E4u);
inline constexpr HRESULT MK_E_NOOBJECT = HRESULT(0x800401E5u);
inline constexpr HRESULT MK_E_INVALIDEXTENSION = HRESULT(0x800401E6u);
inline constexpr HRESULT MK_E_INTERMEDIATEINTERFACENOTSUPPORTED = HRESULT(0x800401E7u);
inline constexpr HRESULT MK_E_NOTBINDABLE = HRESULT(0x800401E8u);
inline constexpr HRESULT MK_E_NOTBOUND = HRESULT(0x800401E9u);
inline constexpr HRESULT MK_E_CANTOPENFILE = HRESULT(0x800401EAu);
inline constexpr HRESULT MK_E_MUSTBOTHERUSER = HRESULT(0x800401EBu);
inline constexpr HRESULT MK_E_NOINVERSE = HRESULT(0x800401ECu);
inline constexpr HRESULT MK_E_NOSTORAGE = HRESULT(0x800401EDu);
inline constexpr HRESULT MK_E_NOPREFIX = HRESULT(0x800401EEu);
inline constexpr HRESULT MK_E_ENUMERATION_FAILED = HRESULT(0x800401EFu);
inline constexpr HRESULT E_NOT_SUFFICIENT_BUFFER = HRESULT(0x8007007Au);

inline constexpr HRESULT INET_E_INVALID_URL = HRESULT(0x800C0002u);
inline constexpr HRESULT INET_E_NO_SESSION = HRESULT(0x800C0003u);
inline constexpr HRESULT INET_E_CANNOT_CONNECT = HRESULT(0x800C0004u);
inline constexpr HRESULT INET_E_RESOURCE_NOT_FOUND = HRESULT(0x800C0005u);
inline constexpr HRESULT INET_E_OBJECT_NOT_FOUND = HRESULT(0x800C0006u);
inline constexpr HRESULT INET_E_DATA_NOT_AVAILABLE = HRESULT(0x800C0007u);
inline constexpr HRESULT INET_E_DOWNLOAD_FAILURE = HRESULT(0x800C0008u);
inline constexpr HRESULT INET_E_AUTHENTICATION_REQUIRED = HRESULT(0x800C0009u);
inline constexpr HRESULT INET_E_NO_VALID_MEDIA = HRESULT(0x800C000Au);
inline constexpr HRESULT INET_E_CONNECTION_TIMEOUT = HRESULT(0x800C000Bu);
inline constexpr HRESULT INET_E_INVALID_REQUEST = HRESULT(0x800C000Cu);
inline constexpr HRESULT INET_E_UNKNOWN_PROTOCOL = HRESULT(0x800C000Du);
inline constexpr HRESULT INET_E_SECURITY_PROBLEM = HRESULT(0x800C000Eu);
inline constexpr HRESULT INET_E_CANNOT_LOAD_DATA = HRESULT(0x800C000Fu);
inline constexpr HRESULT INET_E_CANNOT_INSTANTIATE_OBJECT = HRESULT(0x800C0010u);
inline constexpr HRESULT INET_E_USE_DEFAULT_PROTOCOLHANDLER = HRESULT(0x800C0011u);
inline constexpr HRESULT INET_E_DEFAULT_ACTION = HRESULT(0x800C0011u);
inline constexpr HRESULT INET_E_USE_DEFAULT_SETTING = HRESULT(0x800C0012u);
inline constexpr HRESULT INET_E_QUERYOPTION_UNKNOWN = HRESULT(0x800C0013u);
inline constexpr HRESULT INET_E_REDIRECT_FAILED = HRESULT(0x800C0014u);
inline constexpr HRESULT INET_E_REDIRECTING = HRESULT(0x800C0014u);
inline constexpr HRESULT INET_E_REDIRECT_TO_DIR = HRESULT(0x800C0015u);
inline constexpr HRESULT INET_E_CANNOT_LOCK_REQUEST = HRESULT(0x800C0016u);
inline constexpr HRESULT INET_E_USE_EXTEND_BINDING = HRESULT(0x800C0017u);
inline constexpr HRESULT INET_E_TERMINATED_BIND = HRESULT(0x800C0018u);
inline constexpr HRESULT INET_E_INVALID_CERTIFICATE = HRESULT(0x800C0019u);
inline constexpr HRESULT INET_E_CODE_DOWNLOAD_DECLINED = HRESULT(0x800C0100u);
inline constexpr HRESULT INET_E_RESULT_DISPATCHED = HRESULT(0x800C0200u);
inline constexpr HRESULT INET_E_CANNOT_REPLACE_SFP_FILE = HRESULT(0x800C0300u);
inline constexpr HRESULT INET_E_ERROR_FIRST = HRESULT(0x800C0002u);
inline constexpr HRESULT INET_E_ERROR_LAST = INET_E_CANNOT_REPLACE_SFP_FILE;

// ---------------------------------------------------------------- bind flags

enum BINDF : DWORD {
  BINDF_ASYNCHRONOUS = 0x00000001,
  BINDF_ASYNCSTORAGE = 0x00000002,
  BINDF_NOPROGRESSIVERENDERING = 0x00000004,
  BINDF_OFFLINEOPERATION = 0x00000008,
  BINDF_GETNEWESTVERSION = 0x00000010,
  BINDF_NOWRITECACHE = 0x00000020,
  BINDF_NEEDFILE = 0x00000040,
  BINDF_PULLDATA = 0x00000080,
  BINDF_IGNORESECURITYPROBLEM = 0x00000100,
  BINDF_RESYNCHRONIZE = 0x00000200,
  BINDF_HYPERLINK = 0x00000400,
  BINDF_NO_UI = 0x00000800,
  BINDF_SILENTOPERATION = 0x00001000,
  BINDF_PRAGMA_NO_CACHE = 0x00002000,
  BINDF_GETCLASSOBJECT = 0x00004000,
  BINDF_RESERVED_1 = 0x00008000,
  BINDF_FREE_THREADED = 0x00010000,
  BINDF_DIRECT_READ = 0x00020000,
  BINDF_FORMS_SUBMIT = 0x00040000,
  BINDF_GETFROMCACHE_IF_NET_FAIL = 0x00080000,
  BINDF_FROMURLMON = 0x00100000,
  BINDF_FWD_BACK = 0x00200000,
  BINDF_PREFERDEFAULTHANDLER = 0x00400000,
  BINDF_ENFORCERESTRICTED = 0x00800000,
};

enum BINDF2 : DWORD {
  BINDF2_DISABLEBASICOVERHTTP = 0x00000001,
  BINDF2_DISABLEAUTOCOOKIEHANDLING = 0x00000002,
  BINDF2_READ_DATA_GREATER_THAN_4GB = 0x00000004,
  BINDF2_DISABLE_HTTP_REDIRECT_XSECURITYID = 0x00000008,
  BINDF2_RESERVED_2 = 0x40000000,
  BINDF2_RESERVED_1 = 0x80000000,
};

enum BINDINFOF : DWORD {
  BINDINFOF_URLENCODESTGMEDDATA = 0x1,
  BINDINFOF_URLENCODEDEXTRAINFO = 0x2,
};

enum BINDINFO_OPTIONS : DWORD {
  BINDINFO_OPTIONS_WININETFLAG = 0x00010000,
  BINDINFO_OPTIONS_ENABLE_UTF8 = 0x00020000,
  BINDINFO_OPTIONS_DISABLE_UTF8 = 0x00040000,
  BINDINFO_OPTIONS_USE_IE_ENCODING = 0x00080000,
  BINDINFO_OPTIONS_BINDTOOBJECT = 0x00100000,
  BINDINFO_OPTIONS_SECURITYOPTOUT = 0x00200000,
  BINDINFO_OPTIONS_IGNOREMIMETEXTPLAIN = 0x00400000,
  BINDINFO_OPTIONS_USEBINDSTRINGCREDS = 0x00800000,
  BINDINFO_OPTIONS_IGNOREHTTPHTTPSREDIRECTS = 0x01000000,
  BINDINFO_OPTIONS_IGNORE_SSLERRORS_ONCE = 0x02000000,
  BINDINFO_WPC_DOWNLOADBLOCKED = 0x08000000,
  BINDINFO_WPC_LOGGING_ENABLED = 0x10000000,
  BINDINFO_OPTIONS_ALLOWCONNECTDATA = 0x20000000,
  // The binding answers the first response as it is, redirects included.
  BINDINFO_OPTIONS_DISABLEAUTOREDIRECTS = 0x40000000,
  BINDINFO_OPTIONS_SHDOCVW_NAVIGATE = 0x80000000,
};

enum BINDVERB : DWORD {
  BINDVERB_GET = 0,
  BINDVERB_POST = 1,
  BINDVERB_PUT = 2,
  BINDVERB_CUSTOM = 3,
};

// ---------------------------------------------------------------- bind status

enum BINDSTATUS : ULONG {
  BINDSTATUS_FINDINGRESOURCE = 1,
  BINDSTATUS_CONNECTING = 2,
  BINDSTATUS_REDIRECTING = 3,
  BINDSTATUS_BEGINDOWNLOADDATA = 4,
  BINDSTATUS_DOWNLOADINGDATA = 5,
  BINDSTATUS_ENDDOWNLOADDATA = 6,
  BINDSTATUS_BEGINDOWNLOADCOMPONENTS = 7,
  BINDSTATUS_INSTALLINGCOMPONENTS = 8,
  BINDSTATUS_ENDDOWNLOADCOMPONENTS = 9,
  BINDSTATUS_USINGCACHEDCOPY = 10,
  BINDSTATUS_SENDINGREQUEST = 11,
  BINDSTATUS_CLASSIDAVAILABLE = 12,
  BINDSTATUS_MIMETYPEAVAILABLE = 13,
  BINDSTATUS_CACHEFILENAMEAVAILABLE = 14,
  BINDSTATUS_BEGINSYNCOPERATION = 15,
  BINDSTATUS_ENDSYNCOPERATION = 16,
  BINDSTATUS_BEGINUPLOADDATA = 17,
  BINDSTATUS_UPLOADINGDATA = 18,
  BINDSTATUS_ENDUPLOADDATA = 19,
  BINDSTATUS_PROTOCOLCLASSID = 20,
  BINDSTATUS_ENCODING = 21,
  BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE = 22,
  BINDSTATUS_CLASSINSTALLLOCATION = 23,
  BINDSTATUS_DECODING = 24,
  BINDSTATUS_LOADINGMIMEHANDLER = 25,
  BINDSTATUS_CONTENTDISPOSITIONATTACH = 26,
  BINDSTATUS_FILTERREPORTMIMETYPE = 27,
  BINDSTATUS_CLSIDCANINSTANTIATE = 28,
  BINDSTATUS_IUNKNOWNAVAILABLE = 29,
  BINDSTATUS_DIRECTBIND = 30,
  BINDSTATUS_RAWMIMETYPE = 31,
  BINDSTATUS_PROXYDETECTING = 32,
  BINDSTATUS_ACCEPTRANGES = 33,
  BINDSTATUS_COOKIE_SENT = 34,
  BINDSTATUS_COMPACT_POLICY_RECEIVED = 35,
  BINDSTATUS_COOKIE_SUPPRESSED = 36,
  BINDSTATUS_COOKIE_STATE_UNKNOWN = 37,
  BINDSTATUS_COOKIE_STATE_ACCEPT = 38,
  BINDSTATUS_COOKIE_STATE_REJECT = 39,
  BINDSTATUS_COOKIE_STATE_PROMPT = 40,
  BINDSTATUS_COOKIE_STATE_LEASH = 41,
  BINDSTATUS_COOKIE_STATE_DOWNGRADE = 42,
  BINDSTATUS_POLICY_HREF = 43,
  BINDSTATUS_P3P_HEADER = 44,
  BINDSTATUS_SESSION_COOKIE_RECEIVED = 45,
  BINDSTATUS_PERSISTENT_COOKIE_RECEIVED = 46,
  BINDSTATUS_SESSION_COOKIES_ALLOWED = 47,
  BINDSTATUS_CACHECONTROL = 48,
  BINDSTATUS_CONTENTDISPOSITIONFILENAME = 49,
  BINDSTATUS_MIMETEXTPLAINMISMATCH = 50,
  BINDSTATUS_PUBLISHERAVAILABLE = 51,
  BINDSTATUS_DISPLAYNAMEAVAILABLE = 52,
  BINDSTATUS_SSLUX_NAVBLOCKED = 53,
  BINDSTATUS_SERVER_MIMETYPEAVAILABLE = 54,
  BINDSTATUS_SNIFFED_CLASSIDAVAILABLE = 55,
  BINDSTATUS_64BIT_PROGRESS = 56,
  BINDSTATUS_LAST = BINDSTATUS_64BIT_PROGRESS,
  BINDSTATUS_RESERVED_0 = 57,
  BINDSTATUS_RESERVED_1 = 58,
  BINDSTATUS_RESERVED_2 = 59,
  BINDSTATUS_RESERVED_3 = 60,
  BINDSTATUS_RESERVED_4 = 61,
  BINDSTATUS_RESERVED_5 = 62,
  BINDSTATUS_RESERVED_6 = 63,
  BINDSTATUS_RESERVED_7 = 64,
  BINDSTATUS_LAST_PRIVATE = BINDSTATUS_RESERVED_7,
};

// Flags of OnDataAvailable.
enum BSCF : DWORD {
  BSCF_FIRSTDATANOTIFICATION = 0x01,
  BSCF_INTERMEDIATEDATANOTIFICATION = 0x02,
  BSCF_LASTDATANOTIFICATION = 0x04,
  BSCF_DATAFULLYAVAILABLE = 0x08,
  BSCF_AVAILABLEDATASIZEUNKNOWN = 0x10,
  BSCF_SKIPDRAINDATAFORFILEURLS = 0x20,
  BSCF_64BITLENGTHDOWNLOAD = 0x40,
};

// ---------------------------------------------------------------- data transfer

// TYMED, FORMATETC and STGMEDIUM come with the data object (platform/com/OleIdl.h).

// Releases what the medium holds: its stream (TYMED_ISTREAM), its file name
// (task memory, TYMED_FILE) and pUnkForRelease. A global block is left to its
// owner, who is named by pUnkForRelease.
void ReleaseStgMedium(STGMEDIUM* medium);

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};

struct BINDINFO {
  ULONG cbSize;
  LPWSTR szExtraInfo;    // task memory; appended to the address of the request
  STGMEDIUM stgmedData;  // the request body of POST and PUT (HGLOBAL or ISTREAM)
  DWORD grfBindInfoF;
  DWORD dwBindVerb;
  LPWSTR szCustomVerb;  // task memory; the verb of BINDVERB_CUSTOM
  DWORD cbstgmedData;
  DWORD dwOptions;
  DWORD dwOptionsFlags;
  DWORD dwCodePage;
  SECURITY_ATTRIBUTES securityAttributes;
  IID iid;
  IUnknown* pUnk;
  DWORD dwReserved;
};

// Frees the strings and the medium of a bind information and releases pUnk;
// the structure is zeroed, its size kept.
void ReleaseBindInfo(BINDINFO* bindInfo);

// ---------------------------------------------------------------- enumerators

// IEnumFORMATETC comes with the data object (platform/com/OleIdl.h).

// ---------------------------------------------------------------- bind context

enum BIND_FLAGS : DWORD { BIND_MAYBOTHERUSER = 1, BIND_JUSTTESTEXISTENCE = 2 };

struct BIND_OPTS {
  DWORD cbStruct;
  DWORD grfFlags;
  DWORD grfMode;
  DWORD dwTickCountDeadline;
};

struct IBindCtx : IUnknown {
  virtual HRESULT RegisterObjectBound(IUnknown* punk) = 0;
  virtual HRESULT RevokeObjectBound(IUnknown* punk) = 0;
  virtual HRESULT ReleaseBoundObjects() = 0;
  virtual HRESULT SetBindOptions(BIND_OPTS* pbindopts) = 0;
  virtual HRESULT GetBindOptions(BIND_OPTS* pbindopts) = 0;
  virtual HRESULT GetRunningObjectTable(IRunningObjectTable** pprot) = 0;
  // Object parameters by key (keys compare exactly). A missing key: E_FAIL
  // from GetObjectParam, S_FALSE from RevokeObjectParam.
  virtual HRESULT RegisterObjectParam(LPOLESTR pszKey, IUnknown* punk) = 0;
  virtual HRESULT GetObjectParam(LPOLESTR pszKey, IUnknown** ppunk) = 0;
  virtual HRESULT EnumObjectParam(IEnumString** ppenum) = 0;
  virtual HRESULT RevokeObjectParam(LPOLESTR pszKey) = 0;
};
NOCTIVANE_DECLARE_IID(IBindCtx, IUnknown, "{0000000E-0000-0000-C000-000000000046}")
using LPBC = IBindCtx*;

// The key under which a bind context holds its bind-status callback.
inline constexpr const char16_t* BSCB_HOLDER_KEY = u"_BSCB_Holder_";

// ---------------------------------------------------------------- monikers

enum MKSYS : DWORD {
  MKSYS_NONE = 0,
  MKSYS_GENERICCOMPOSITE = 1,
  MKSYS_FILEMONIKER = 2,
  MKSYS_ANTIMONIKER = 3,
  MKSYS_ITEMMONIKER = 4,
  MKSYS_POINTERMONIKER = 5,
  MKSYS_URLMONIKER = 6,
  MKSYS_CLASSMONIKER = 7,
};

struct IPersistStream : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* pStm) = 0;
  virtual HRESULT Save(IStream* pStm, BOOL fClearDirty) = 0;
  virtual HRESULT GetSizeMax(std::uint64_t* pcbSize) = 0;
};
NOCTIVANE_DECLARE_IID(IPersistStream, IPersist, "{00000109-0000-0000-C000-000000000046}")

struct IMoniker : IPersistStream {
  virtual HRESULT BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riidResult, void** ppvResult) = 0;
  virtual HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppvObj) = 0;
  virtual HRESULT Reduce(IBindCtx* pbc, DWORD dwReduceHowFar, IMoniker** ppmkToLeft,
                         IMoniker** ppmkReduced) = 0;
  virtual HRESULT ComposeWith(IMoniker* pmkRight, BOOL fOnlyIfNotGeneric, IMoniker** ppmkComposite) = 0;
  virtual HRESULT Enum(BOOL fForward, IEnumMoniker** ppenumMoniker) = 0;
  virtual HRESULT IsEqual(IMoniker* pmkOtherMoniker) = 0;
  virtual HRESULT Hash(DWORD* pdwHash) = 0;
  virtual HRESULT IsRunning(IBindCtx* pbc, IMoniker* pmkToLeft, IMoniker* pmkNewlyRunning) = 0;
  virtual HRESULT GetTimeOfLastChange(IBindCtx* pbc, IMoniker* pmkToLeft, FILETIME* pFileTime) = 0;
  virtual HRESULT Inverse(IMoniker** ppmk) = 0;
  virtual HRESULT CommonPrefixWith(IMoniker* pmkOther, IMoniker** ppmkPrefix) = 0;
  virtual HRESULT RelativePathTo(IMoniker* pmkOther, IMoniker** ppmkRelPath) = 0;
  virtual HRESULT GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR* ppszDisplayName) = 0;
  virtual HRESULT ParseDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR pszDisplayName,
                                   ULONG* pchEaten, IMoniker** ppmkOut) = 0;
  virtual HRESULT IsSystemMoniker(DWORD* pdwMksys) = 0;
};
NOCTIVANE_DECLARE_IID(IMoniker, IPersistStream, "{0000000F-0000-0000-C000-000000000046}")
using LPMONIKER = IMoniker*;

inline constexpr CLSID CLSID_StdURLMoniker = GuidLiteral("{79EAC9E0-BAF9-11CE-8C82-00AA004BA90B}");

// Protocols named by IBinding::GetBindResult.
inline constexpr CLSID CLSID_HttpProtocol = GuidLiteral("{79EAC9E2-BAF9-11CE-8C82-00AA004BA90B}");
inline constexpr CLSID CLSID_HttpSProtocol = GuidLiteral("{79EAC9E5-BAF9-11CE-8C82-00AA004BA90B}");
inline constexpr CLSID CLSID_FileProtocol = GuidLiteral("{79EAC9E7-BAF9-11CE-8C82-00AA004BA90B}");
inline constexpr CLSID CLSID_AboutProtocol = GuidLiteral("{3050F406-98B5-11CF-BB82-00AA00BDCE0B}");

// ---------------------------------------------------------------- binding

struct IBinding : IUnknown {
  // Stops the transfer; the callback then hears OnStopBinding(E_ABORT) and
  // nothing after it. A binding that has already ended answers
  // INET_E_RESULT_DISPATCHED.
  virtual HRESULT Abort() = 0;
  virtual HRESULT Suspend() = 0;  // E_NOTIMPL
  virtual HRESULT Resume() = 0;   // E_NOTIMPL
  virtual HRESULT SetPriority(LONG nPriority) = 0;
  virtual HRESULT GetPriority(LONG* pnPriority) = 0;
  // The protocol, the result and its text (task memory, or null) once the
  // binding has ended (also inside OnStopBinding); E_UNEXPECTED before.
  virtual HRESULT GetBindResult(CLSID* pclsidProtocol, DWORD* pdwResult, LPOLESTR* pszResult,
                                DWORD* pdwReserved) = 0;
};
NOCTIVANE_DECLARE_IID(IBinding, IUnknown, "{79EAC9C0-BAF9-11CE-8C82-00AA004BA90B}")

struct IBindStatusCallback : IUnknown {
  virtual HRESULT OnStartBinding(DWORD dwReserved, IBinding* pib) = 0;
  virtual HRESULT GetPriority(LONG* pnPriority) = 0;
  virtual HRESULT OnLowResource(DWORD reserved) = 0;
  virtual HRESULT OnProgress(ULONG ulProgress, ULONG ulProgressMax, ULONG ulStatusCode,
                             LPCWSTR szStatusText) = 0;
  virtual HRESULT OnStopBinding(HRESULT hresult, LPCWSTR szError) = 0;
  virtual HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) = 0;
  virtual HRESULT OnDataAvailable(DWORD grfBSCF, DWORD dwSize, FORMATETC* pformatetc, STGMEDIUM* pstgmed) = 0;
  virtual HRESULT OnObjectAvailable(REFIID riid, IUnknown* punk) = 0;
};
NOCTIVANE_DECLARE_IID(IBindStatusCallback, IUnknown, "{79EAC9C1-BAF9-11CE-8C82-00AA004BA90B}")

// When the callback has this interface, its GetBindInfoEx is asked instead
// of GetBindInfo.
struct IBindStatusCallbackEx : IBindStatusCallback {
  virtual HRESULT GetBindInfoEx(DWORD* grfBINDF, BINDINFO* pbindinfo, DWORD* grfBINDF2,
                                DWORD* pdwReserved) = 0;
};
NOCTIVANE_DECLARE_IID(IBindStatusCallbackEx, IBindStatusCallback, "{AAA74EF9-8EE7-4659-88D9-F8C504DA73CC}")

// Asked of the callback (by QueryInterface, else through its
// IServiceProvider): extra request headers before the request goes out, and
// the status and headers of the response. A failure from OnResponse stops the
// binding with E_ABORT.
struct IHttpNegotiate : IUnknown {
  virtual HRESULT BeginningTransaction(LPCWSTR szURL, LPCWSTR szHeaders, DWORD dwReserved,
                                       LPWSTR* pszAdditionalHeaders) = 0;
  virtual HRESULT OnResponse(DWORD dwResponseCode, LPCWSTR szResponseHeaders, LPCWSTR szRequestHeaders,
                             LPWSTR* pszAdditionalRequestHeaders) = 0;
};
NOCTIVANE_DECLARE_IID(IHttpNegotiate, IUnknown, "{79EAC9D2-BAF9-11CE-8C82-00AA004BA90B}")

struct IHttpNegotiate2 : IHttpNegotiate {
  virtual HRESULT GetRootSecurityId(BYTE* pbSecurityId, DWORD* pcbSecurityId, DWORD_PTR dwReserved) = 0;
};
NOCTIVANE_DECLARE_IID(IHttpNegotiate2, IHttpNegotiate, "{4F9F9FCB-E0F4-48EB-B7AB-FA2EA9365CB4}")

struct IHttpNegotiate3 : IHttpNegotiate2 {
  virtual HRESULT GetSerializedClientCertContext(BYTE** ppbCert, DWORD* pcbCert) = 0;
};
NOCTIVANE_DECLARE_IID(IHttpNegotiate3, IHttpNegotiate2, "{57B6C80A-34C2-4602-BC26-66A02FC57153}")

struct AUTHENTICATEINFO {
  DWORD dwFlags;
  DWORD dwReserved;
};

struct IAuthenticateEx : IAuthenticate {
  virtual HRESULT AuthenticateEx(HWND* phwnd, LPWSTR* pszUsername, LPWSTR* pszPassword,
                                 AUTHENTICATEINFO* pauthinfo) = 0;
};
NOCTIVANE_DECLARE_IID(IAuthenticateEx, IAuthenticate, "{2AD1EDAF-D83D-48B5-9ADF-03DBE19F53BD}")

struct IWindowForBindingUI : IUnknown {
  virtual HRESULT GetWindow(REFGUID rguidReason, HWND* phwnd) = 0;
};
NOCTIVANE_DECLARE_IID(IWindowForBindingUI, IUnknown, "{79EAC9D5-BAFA-11CE-8C82-00AA004BA90B}")

struct IHttpSecurity : IWindowForBindingUI {
  virtual HRESULT OnSecurityProblem(DWORD dwProblem) = 0;
};
NOCTIVANE_DECLARE_IID(IHttpSecurity, IWindowForBindingUI, "{79EAC9D7-BAFA-11CE-8C82-00AA004BA90B}")

struct ICodeInstall : IWindowForBindingUI {
  virtual HRESULT OnCodeInstallProblem(ULONG ulStatusCode, LPCWSTR szDestination, LPCWSTR szSource,
                                       DWORD dwReserved) = 0;
};
NOCTIVANE_DECLARE_IID(ICodeInstall, IWindowForBindingUI, "{79EAC9D1-BAF9-11CE-8C82-00AA004BA90B}")

enum MONIKERPROPERTY : DWORD {
  MIMETYPEPROP = 0,
  USE_SRC_URL = 1,
  CLASSIDPROP = 2,
  TRUSTEDDOWNLOADPROP = 3,
  POPUPLEVELPROP = 4,
};

struct IMonikerProp : IUnknown {
  virtual HRESULT PutProperty(MONIKERPROPERTY mkp, LPCWSTR val) = 0;
};
NOCTIVANE_DECLARE_IID(IMonikerProp, IUnknown, "{A5CA5F7F-1847-4D87-9C5B-918509F7511D}")

struct IBindHost : IUnknown {
  virtual HRESULT CreateMoniker(LPOLESTR szName, IBindCtx* pBC, IMoniker** ppmk, DWORD dwReserved) = 0;
  virtual HRESULT MonikerBindToStorage(IMoniker* pMk, IBindCtx* pBC, IBindStatusCallback* pBSC, REFIID riid,
                                       void** ppvObj) = 0;
  virtual HRESULT MonikerBindToObject(IMoniker* pMk, IBindCtx* pBC, IBindStatusCallback* pBSC, REFIID riid,
                                      void** ppvObj) = 0;
};
NOCTIVANE_DECLARE_IID(IBindHost, IUnknown, "{FC4801A1-2BA9-11CF-A229-00AA003D7352}")

// The HTTP information of a binding (the IBinding answers these once the
// response head has arrived). Options are those of the Internet layer's
// header query; strings come as 8-bit text with the same buffer rules
// (bytes; too small a buffer: ERROR_INSUFFICIENT_BUFFER as a result code and
// the bytes needed). A missing header or no response yet:
// HRESULT_FROM_WIN32(ERROR_HTTP_HEADER_NOT_FOUND).
struct IWinInetInfo : IUnknown {
  virtual HRESULT QueryOption(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf) = 0;
};
NOCTIVANE_DECLARE_IID(IWinInetInfo, IUnknown, "{79EAC9D6-BAFA-11CE-8C82-00AA004BA90B}")

struct IWinInetHttpInfo : IWinInetInfo {
  virtual HRESULT QueryInfo(DWORD dwOption, LPVOID pBuffer, DWORD* pcbBuf, DWORD* pdwFlags,
                            DWORD* pdwReserved) = 0;
};
NOCTIVANE_DECLARE_IID(IWinInetHttpInfo, IWinInetInfo, "{79EAC9D8-BAFA-11CE-8C82-00AA004BA90B}")

// ---------------------------------------------------------------- persistence through monikers

struct IPersistMoniker : IUnknown {
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(BOOL fFullyAvailable, IMoniker* pimkName, LPBC pibc, DWORD grfMode) = 0;
  virtual HRESULT Save(IMoniker* pimkName, LPBC pbc, BOOL fRemember) = 0;
  virtual HRESULT SaveCompleted(IMoniker* pimkName, LPBC pibc) = 0;
  virtual HRESULT GetCurMoniker(IMoniker** ppimkName) = 0;
};
NOCTIVANE_DECLARE_IID(IPersistMoniker, IUnknown, "{79EAC9C9-BAF9-11CE-8C82-00AA004BA90B}")

// ---------------------------------------------------------------- pluggable protocols

struct IInternetProtocolSink;
struct IInternetBindInfo;

struct PROTOCOLDATA {
  DWORD grfFlags;
  DWORD dwState;
  LPVOID pData;
  ULONG cbData;
};

enum PI_FLAGS : DWORD {
  PI_PARSE_URL = 0x00000001,
  PI_FILTER_MODE = 0x00000002,
  PI_FORCE_ASYNC = 0x00000004,
  PI_USE_WORKERTHREAD = 0x00000008,
  PI_MIMEVERIFICATION = 0x00000010,
  PI_CLSIDLOOKUP = 0x00000020,
  PI_DATAPROGRESS = 0x00000040,
  PI_SYNCHRONOUS = 0x00000080,
  PI_APARTMENTTHREADED = 0x00000100,
  PI_CLASSINSTALL = 0x00000200,
  PI_PASSONBINDCTX = 0x00002000,
  PI_NOMIMEHANDLER = 0x00008000,
  PI_LOADAPPDIRECT = 0x00004000,
  PD_FORCE_SWITCH = 0x00010000,
  PI_PREFERDEFAULTHANDLER = 0x00020000,
};

enum BINDSTRING : ULONG {
  BINDSTRING_HEADERS = 1,
  BINDSTRING_ACCEPT_MIMES = 2,
  BINDSTRING_EXTRA_URL = 3,
  BINDSTRING_LANGUAGE = 4,
  BINDSTRING_USERNAME = 5,
  BINDSTRING_PASSWORD = 6,
  BINDSTRING_UA_PIXELS = 7,
  BINDSTRING_UA_COLOR = 8,
  BINDSTRING_OS = 9,
  BINDSTRING_USER_AGENT = 10,
  BINDSTRING_ACCEPT_ENCODINGS = 11,
  BINDSTRING_POST_COOKIE = 12,
  BINDSTRING_POST_DATA_MIME = 13,
  BINDSTRING_URL = 14,
  BINDSTRING_IID = 15,
  BINDSTRING_FLAG_BIND_TO_OBJECT = 16,
  BINDSTRING_PTR_BIND_CONTEXT = 17,
};

struct IInternetProtocolRoot : IUnknown {
  virtual HRESULT Start(LPCWSTR szUrl, IInternetProtocolSink* pOIProtSink, IInternetBindInfo* pOIBindInfo,
                        DWORD grfPI, HANDLE_PTR dwReserved) = 0;
  virtual HRESULT Continue(PROTOCOLDATA* pProtocolData) = 0;
  virtual HRESULT Abort(HRESULT hrReason, DWORD dwOptions) = 0;
  virtual HRESULT Terminate(DWORD dwOptions) = 0;
  virtual HRESULT Suspend() = 0;
  virtual HRESULT Resume() = 0;
};
NOCTIVANE_DECLARE_IID(IInternetProtocolRoot, IUnknown, "{79EAC9E3-BAF9-11CE-8C82-00AA004BA90B}")

struct IInternetProtocol : IInternetProtocolRoot {
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT Seek(std::int64_t dlibMove, DWORD dwOrigin, std::uint64_t* plibNewPosition) = 0;
  virtual HRESULT LockRequest(DWORD dwOptions) = 0;
  virtual HRESULT UnlockRequest() = 0;
};
NOCTIVANE_DECLARE_IID(IInternetProtocol, IInternetProtocolRoot, "{79EAC9E4-BAF9-11CE-8C82-00AA004BA90B}")

struct IInternetProtocolSink : IUnknown {
  virtual HRESULT Switch(PROTOCOLDATA* pProtocolData) = 0;
  virtual HRESULT ReportProgress(ULONG ulStatusCode, LPCWSTR szStatusText) = 0;
  virtual HRESULT ReportData(DWORD grfBSCF, ULONG ulProgress, ULONG ulProgressMax) = 0;
  virtual HRESULT ReportResult(HRESULT hrResult, DWORD dwError, LPCWSTR szResult) = 0;
};
NOCTIVANE_DECLARE_IID(IInternetProtocolSink, IUnknown, "{79EAC9E5-BAF9-11CE-8C82-00AA004BA90B}")

struct IInternetBindInfo : IUnknown {
  virtual HRESULT GetBindInfo(DWORD* grfBINDF, BINDINFO* pbindinfo) = 0;
  virtual HRESULT GetBindString(ULONG ulStringType, LPOLESTR* ppwzStr, ULONG cEl, ULONG* pcElFetched) = 0;
};
NOCTIVANE_DECLARE_IID(IInternetBindInfo, IUnknown, "{79EAC9E1-BAF9-11CE-8C82-00AA004BA90B}")

// ---------------------------------------------------------------- monikers and binding: functions

enum URL_MK : DWORD { URL_MK_LEGACY = 0, URL_MK_UNIFORM = 1, URL_MK_NO_CANONICALIZE = 2 };

// A URL moniker. A relative address is resolved against the address of
// `pmkContext` (another URL moniker); an absolute path of the file system
// becomes a file URL. Scheme and host are lower-cased and an empty path of an
// http, https or ftp address becomes "/" (unless URL_MK_NO_CANONICALIZE).
// Null arguments: E_INVALIDARG; an empty address: MK_E_SYNTAX. Whether the
// address can be bound shows when it is bound.
HRESULT CreateURLMonikerEx(IMoniker* pmkContext, LPCWSTR szURL, IMoniker** ppmk, DWORD dwFlags);
HRESULT CreateURLMoniker(IMoniker* pmkContext, LPCWSTR szURL, IMoniker** ppmk);

// A plain bind context (no callback: a moniker binds it on the calling thread).
HRESULT CreateBindCtx(DWORD reserved, IBindCtx** ppbc);
// A bind context that holds `pbsc` as its bind-status callback.
HRESULT CreateAsyncBindCtx(DWORD reserved, IBindStatusCallback* pbsc, IEnumFORMATETC* penumfmtetc,
                           IBindCtx** ppbc);
// Makes `pbsc` the bind context's callback. A different callback registered
// before is handed out through `ppbscPrevious` (when given); registering the
// callback that is already registered hands out no previous one.
HRESULT RegisterBindStatusCallback(IBindCtx* pbc, IBindStatusCallback* pbsc,
                                   IBindStatusCallback** ppbscPrevious, DWORD dwReserved);
// Removes `pbsc` when it is the registered callback; E_FAIL otherwise.
HRESULT RevokeBindStatusCallback(IBindCtx* pbc, IBindStatusCallback* pbsc);

// Downloads `szURL` into `szFileName` on the calling thread. The callback (may
// be null) hears OnStartBinding, OnProgress (an E_ABORT answer cancels) and
// OnStopBinding, and is asked for IHttpNegotiate and IAuthenticate. The file
// is replaced only when the whole download succeeded. S_OK or the error.
HRESULT URLDownloadToFileW(IUnknown* pCaller, LPCWSTR szURL, LPCWSTR szFileName, DWORD dwReserved,
                           IBindStatusCallback* lpfnCB);
// The same into a new file of the URL cache, recorded as the address's cache
// entry; the file's full name goes into `szFileName` (`cchFileName`
// characters with the terminator; too small: E_OUTOFMEMORY). A file URL
// answers the file's own name.
HRESULT URLDownloadToCacheFileW(IUnknown* lpUnkcaller, LPCWSTR szURL, LPWSTR szFileName, DWORD cchFileName,
                                DWORD dwReserved, IBindStatusCallback* pBSC);

// S_OK for a well-formed address of a known scheme (http, https, ftp, file,
// about, mailto, javascript, vbscript, res and the other registered
// protocols), S_FALSE otherwise; E_INVALIDARG for a null address.
HRESULT IsValidURL(IBindCtx* pBC, LPCWSTR szURL, DWORD dwReserved);

// The user agent of moniker transfers.
String UrlMonUserAgent();

// ---------------------------------------------------------------- zones and URL actions

enum URLZONE : DWORD {
  URLZONE_INVALID = DWORD(-1),
  URLZONE_PREDEFINED_MIN = 0,
  URLZONE_LOCAL_MACHINE = 0,
  URLZONE_INTRANET = 1,
  URLZONE_TRUSTED = 2,
  URLZONE_INTERNET = 3,
  URLZONE_UNTRUSTED = 4,
  URLZONE_PREDEFINED_MAX = 999,
  URLZONE_USER_MIN = 1000,
  URLZONE_USER_MAX = 10000,
};

enum URLTEMPLATE : DWORD {
  URLTEMPLATE_CUSTOM = 0,
  URLTEMPLATE_PREDEFINED_MIN = 0x10000,
  URLTEMPLATE_LOW = 0x10000,
  URLTEMPLATE_MEDLOW = 0x10500,
  URLTEMPLATE_MEDIUM = 0x11000,
  URLTEMPLATE_MEDHIGH = 0x11500,
  URLTEMPLATE_HIGH = 0x12000,
  URLTEMPLATE_PREDEFINED_MAX = 0x20000,
};

enum URLZONEREG : DWORD { URLZONEREG_DEFAULT = 0, URLZONEREG_HKLM = 1, URLZONEREG_HKCU = 2 };

// Flags of MapUrlToZone.
enum MUTZ_FLAGS : DWORD {
  MUTZ_NOSAVEDFILECHECK = 0x00000001,
  MUTZ_ISFILE = 0x00000002,
  MUTZ_ACCEPT_WILDCARD_SCHEME = 0x00000080,
  MUTZ_ENFORCERESTRICTED = 0x00000100,
  MUTZ_RESERVED = 0x00000200,
  MUTZ_REQUIRESAVEDFILECHECK = 0x00000400,
  MUTZ_DONT_UNESCAPE = 0x00000800,
  MUTZ_DONT_USE_CACHE = 0x00001000,
  MUTZ_FORCE_INTRANET_FLAGS = 0x00002000,
  MUTZ_IGNORE_ZONE_MAPPINGS = 0x00004000,
};

// Flags of ProcessUrlAction.
enum PUAF : DWORD {
  PUAF_DEFAULT = 0x00000000,
  PUAF_NOUI = 0x00000001,
  PUAF_ISFILE = 0x00000002,
  PUAF_WARN_IF_DENIED = 0x00000004,
  PUAF_FORCEUI_FOREGROUND = 0x00000008,
  PUAF_CHECK_TIFS = 0x00000010,
  PUAF_DONTCHECKBOXINDIALOG = 0x00000020,
  PUAF_TRUSTED = 0x00000040,
  PUAF_ACCEPT_WILDCARD_SCHEME = 0x00000080,
  PUAF_ENFORCERESTRICTED = 0x00000100,
  PUAF_NOSAVEDFILECHECK = 0x00000200,
  PUAF_REQUIRESAVEDFILECHECK = 0x00000400,
  PUAF_DONT_USE_CACHE = 0x00001000,
  PUAF_LMZ_UNLOCKED = 0x00010000,
  PUAF_LMZ_LOCKED = 0x00020000,
  PUAF_DEFAULTZONEPOL = 0x00040000,
  PUAF_NPL_USE_LOCKED_IF_RESTRICTED = 0x00080000,
  PUAF_NOUIIFLOCKED = 0x00100000,
  PUAF_DRAGPROTOCOLCHECK = 0x00200000,
};

// Flags of SetZoneMapping.
enum SZM_FLAGS : DWORD { SZM_CREATE = 0, SZM_DELETE = 1 };

inline constexpr DWORD MAX_SIZE_SECURITY_ID = 512;

enum : DWORD {
  URLACTION_MIN = 0x00001000,

  URLACTION_DOWNLOAD_MIN = 0x00001000,
  URLACTION_DOWNLOAD_SIGNED_ACTIVEX = 0x00001001,
  URLACTION_DOWNLOAD_UNSIGNED_ACTIVEX = 0x00001004,
  URLACTION_DOWNLOAD_CURR_MAX = 0x00001004,
  URLACTION_DOWNLOAD_MAX = 0x000011FF,

  URLACTION_ACTIVEX_MIN = 0x00001200,
  URLACTION_ACTIVEX_RUN = 0x00001200,
  URLACTION_ACTIVEX_OVERRIDE_OBJECT_SAFETY = 0x00001201,
  URLACTION_ACTIVEX_OVERRIDE_DATA_SAFETY = 0x00001202,
  URLACTION_ACTIVEX_OVERRIDE_SCRIPT_SAFETY = 0x00001203,
  URLACTION_ACTIVEX_CONFIRM_NOOBJECTSAFETY = 0x00001204,
  URLACTION_ACTIVEX_TREATASUNTRUSTED = 0x00001205,
  URLACTION_ACTIVEX_NO_WEBOC_SCRIPT = 0x00001206,
  URLACTION_ACTIVEX_OVERRIDE_REPURPOSEDETECTION = 0x00001207,
  URLACTION_ACTIVEX_OVERRIDE_OPTIN = 0x00001208,
  URLACTION_ACTIVEX_SCRIPTLET_RUN = 0x00001209,
  URLACTION_ACTIVEX_DYNSRC_VIDEO_AND_ANIMATION = 0x0000120A,
  URLACTION_ACTIVEX_CURR_MAX = 0x0000120A,
  URLACTION_ACTIVEX_MAX = 0x000013FF,

  URLACTION_SCRIPT_MIN = 0x00001400,
  URLACTION_SCRIPT_RUN = 0x00001400,
  URLACTION_SCRIPT_OVERRIDE_SAFETY = 0x00001401,
  URLACTION_SCRIPT_JAVA_USE = 0x00001402,
  URLACTION_SCRIPT_SAFE_ACTIVEX = 0x00001405,
  URLACTION_CROSS_DOMAIN_DATA = 0x00001406,
  URLACTION_SCRIPT_PASTE = 0x00001407,
  URLACTION_ALLOW_XDOMAIN_SUBFRAME_RESIZE = 0x00001408,
  URLACTION_SCRIPT_XSSFILTER = 0x00001409,
  URLACTION_SCRIPT_NAVIGATE = 0x0000140A,
  URLACTION_SCRIPT_CURR_MAX = 0x0000140A,
  URLACTION_SCRIPT_MAX = 0x000015FF,

  URLACTION_HTML_MIN = 0x00001600,
  URLACTION_HTML_SUBMIT_FORMS = 0x00001601,
  URLACTION_HTML_SUBMIT_FORMS_FROM = 0x00001602,
  URLACTION_HTML_SUBMIT_FORMS_TO = 0x00001603,
  URLACTION_HTML_FONT_DOWNLOAD = 0x00001604,
  URLACTION_HTML_JAVA_RUN = 0x00001605,
  URLACTION_HTML_USERDATA_SAVE = 0x00001606,
  URLACTION_HTML_SUBFRAME_NAVIGATE = 0x00001607,
  URLACTION_HTML_META_REFRESH = 0x00001608,
  URLACTION_HTML_MIXED_CONTENT = 0x00001609,
  URLACTION_HTML_INCLUDE_FILE_PATH = 0x0000160A,
  URLACTION_HTML_ALLOW_INJECTED_DYNAMIC_HTML = 0x0000160B,
  URLACTION_HTML_REQUIRE_UTF8_DOCUMENT_CODEPAGE = 0x0000160C,
  URLACTION_HTML_ALLOW_CROSS_DOMAIN_CANVAS = 0x0000160D,
  URLACTION_HTML_ALLOW_WINDOW_CLOSE = 0x0000160E,
  URLACTION_HTML_ALLOW_CROSS_DOMAIN_WEBWORKER = 0x0000160F,
  URLACTION_HTML_ALLOW_CROSS_DOMAIN_TEXTTRACK = 0x00001610,
  URLACTION_HTML_ALLOW_INDEXEDDB = 0x00001611,
  URLACTION_HTML_MAX = 0x000017FF,

  URLACTION_SHELL_MIN = 0x00001800,
  URLACTION_SHELL_INSTALL_DTITEMS = 0x00001800,
  URLACTION_SHELL_MOVE_OR_COPY = 0x00001802,
  URLACTION_SHELL_FILE_DOWNLOAD = 0x00001803,
  URLACTION_SHELL_VERB = 0x00001804,
  URLACTION_SHELL_WEBVIEW_VERB = 0x00001805,
  URLACTION_SHELL_SHELLEXECUTE = 0x00001806,
  URLACTION_SHELL_EXECUTE_HIGHRISK = 0x00001806,
  URLACTION_SHELL_EXECUTE_MODRISK = 0x00001807,
  URLACTION_SHELL_EXECUTE_LOWRISK = 0x00001808,
  URLACTION_SHELL_POPUPMGR = 0x00001809,
  URLACTION_SHELL_RTF_OBJECTS_LOAD = 0x0000180A,
  URLACTION_SHELL_ENHANCED_DRAGDROP_SECURITY = 0x0000180B,
  URLACTION_SHELL_EXTENSIONSECURITY = 0x0000180C,
  URLACTION_SHELL_SECURE_DRAGSOURCE = 0x0000180D,
  URLACTION_SHELL_MAX = 0x000019FF,

  URLACTION_NETWORK_MIN = 0x00001A00,
  URLACTION_CREDENTIALS_USE = 0x00001A00,
  URLACTION_AUTHENTICATE_CLIENT = 0x00001A01,
  URLACTION_COOKIES = 0x00001A02,
  URLACTION_COOKIES_SESSION = 0x00001A03,
  URLACTION_CLIENT_CERT_PROMPT = 0x00001A04,
  URLACTION_COOKIES_THIRD_PARTY = 0x00001A05,
  URLACTION_COOKIES_SESSION_THIRD_PARTY = 0x00001A06,
  URLACTION_COOKIES_ENABLED = 0x00001A10,
  URLACTION_NETWORK_MAX = 0x00001BFF,

  URLACTION_JAVA_MIN = 0x00001C00,
  URLACTION_JAVA_PERMISSIONS = 0x00001C00,
  URLACTION_JAVA_MAX = 0x00001CFF,

  URLACTION_INFODELIVERY_MIN = 0x00001D00,
  URLACTION_INFODELIVERY_NO_ADDING_CHANNELS = 0x00001D00,
  URLACTION_INFODELIVERY_NO_EDITING_CHANNELS = 0x00001D01,
  URLACTION_INFODELIVERY_NO_REMOVING_CHANNELS = 0x00001D02,
  URLACTION_INFODELIVERY_NO_ADDING_SUBSCRIPTIONS = 0x00001D03,
  URLACTION_INFODELIVERY_NO_EDITING_SUBSCRIPTIONS = 0x00001D04,
  URLACTION_INFODELIVERY_NO_REMOVING_SUBSCRIPTIONS = 0x00001D05,
  URLACTION_INFODELIVERY_NO_CHANNEL_LOGGING = 0x00001D06,
  URLACTION_INFODELIVERY_MAX = 0x00001DFF,

  URLACTION_CHANNEL_SOFTDIST_MIN = 0x00001E00,
  URLACTION_CHANNEL_SOFTDIST_PERMISSIONS = 0x00001E05,
  URLACTION_CHANNEL_SOFTDIST_MAX = 0x00001EFF,

  URLACTION_BEHAVIOR_MIN = 0x00002000,
  URLACTION_BEHAVIOR_RUN = 0x00002000,

  URLACTION_FEATURE_MIN = 0x00002100,
  URLACTION_FEATURE_MIME_SNIFFING = 0x00002100,
  URLACTION_FEATURE_ZONE_ELEVATION = 0x00002101,
  URLACTION_FEATURE_WINDOW_RESTRICTIONS = 0x00002102,
  URLACTION_FEATURE_SCRIPT_STATUS_BAR = 0x00002103,
  URLACTION_FEATURE_FORCE_ADDR_AND_STATUS = 0x00002104,
  URLACTION_FEATURE_BLOCK_INPUT_PROMPTS = 0x00002105,

  URLACTION_AUTOMATIC_DOWNLOAD_UI_MIN = 0x00002200,
  URLACTION_AUTOMATIC_DOWNLOAD_UI = 0x00002200,
  URLACTION_AUTOMATIC_ACTIVEX_UI = 0x00002201,

  URLACTION_ALLOW_RESTRICTEDPROTOCOLS = 0x00002300,
};

enum : DWORD {
  URLPOLICY_ALLOW = 0x00,
  URLPOLICY_QUERY = 0x01,
  URLPOLICY_DISALLOW = 0x03,
  URLPOLICY_MASK_PERMISSIONS = 0x0F,
  URLPOLICY_NOTIFY_ON_ALLOW = 0x10,
  URLPOLICY_NOTIFY_ON_DISALLOW = 0x20,
  URLPOLICY_LOG_ON_ALLOW = 0x40,
  URLPOLICY_LOG_ON_DISALLOW = 0x80,
  URLPOLICY_DONTCHECKDLGBOX = 0x100,

  URLPOLICY_JAVA_PROHIBIT = 0x00000000,
  URLPOLICY_JAVA_HIGH = 0x00010000,
  URLPOLICY_JAVA_MEDIUM = 0x00020000,
  URLPOLICY_JAVA_LOW = 0x00030000,
  URLPOLICY_JAVA_CUSTOM = 0x00800000,

  URLPOLICY_CREDENTIALS_SILENT_LOGON_OK = 0x00000000,
  URLPOLICY_CREDENTIALS_MUST_PROMPT_USER = 0x00010000,
  URLPOLICY_CREDENTIALS_CONDITIONAL_PROMPT = 0x00020000,
  URLPOLICY_CREDENTIALS_ANONYMOUS_ONLY = 0x00030000,

  URLPOLICY_AUTHENTICATE_CLEARTEXT_OK = 0x00000000,
  URLPOLICY_AUTHENTICATE_CHALLENGE_RESPONSE = 0x00010000,
  URLPOLICY_AUTHENTICATE_MUTUAL_ONLY = 0x00030000,

  URLPOLICY_CHANNEL_SOFTDIST_PROHIBIT = 0x00010000,
  URLPOLICY_CHANNEL_SOFTDIST_PRECACHE = 0x00020000,
  URLPOLICY_CHANNEL_SOFTDIST_AUTOINSTALL = 0x00030000,
};

// Zone attributes.
inline constexpr int MAX_ZONE_PATH = 260;
inline constexpr int MAX_ZONE_DESCRIPTION = 200;

enum ZAFLAGS : DWORD {
  ZAFLAGS_CUSTOM_EDIT = 0x00000001,
  ZAFLAGS_ADD_SITES = 0x00000002,
  ZAFLAGS_REQUIRE_VERIFICATION = 0x00000004,
  ZAFLAGS_INCLUDE_PROXY_OVERRIDE = 0x00000008,
  ZAFLAGS_INCLUDE_INTRANET_SITES = 0x00000010,
  ZAFLAGS_NO_UI = 0x00000020,
  ZAFLAGS_SUPPORTS_VERIFICATION = 0x00000040,
  ZAFLAGS_UNC_AS_INTRANET = 0x00000080,
  ZAFLAGS_DETECT_INTRANET = 0x00000100,
  ZAFLAGS_USE_LOCKED_ZONES = 0x00010000,
  ZAFLAGS_VERIFY_TEMPLATE_SETTINGS = 0x00020000,
  ZAFLAGS_NO_CACHE = 0x00040000,
};

struct ZONEATTRIBUTES {
  ULONG cbSize;
  WCHAR szDisplayName[MAX_ZONE_PATH];
  WCHAR szDescription[MAX_ZONE_DESCRIPTION];
  WCHAR szIconPath[MAX_ZONE_PATH];
  DWORD dwTemplateMinLevel;
  DWORD dwTemplateRecommended;
  DWORD dwTemplateCurrentLevel;
  DWORD dwFlags;
};

struct IInternetSecurityMgrSite : IUnknown {
  virtual HRESULT GetWindow(HWND* phwnd) = 0;
  virtual HRESULT EnableModeless(BOOL fEnable) = 0;
};
NOCTIVANE_DECLARE_IID(IInternetSecurityMgrSite, IUnknown, "{79EAC9ED-BAF9-11CE-8C82-00AA004BA90B}")

// The default security manager from CoInternetCreateSecurityManager first
// asks a custom manager for each answer: the one its site hands out through
// IServiceProvider under SID_SInternetSecurityManager. The custom manager's
// answer holds unless it is INET_E_DEFAULT_ACTION.
struct IInternetSecurityManager : IUnknown {
  virtual HRESULT SetSecuritySite(IInternetSecurityMgrSite* pSite) = 0;
  virtual HRESULT GetSecuritySite(IInternetSecurityMgrSite** ppSite) = 0;
  virtual HRESULT MapUrlToZone(LPCWSTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) = 0;
  virtual HRESULT GetSecurityId(LPCWSTR pwszUrl, BYTE* pbSecurityId, DWORD* pcbSecurityId,
                                DWORD_PTR dwReserved) = 0;
  virtual HRESULT ProcessUrlAction(LPCWSTR pwszUrl, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                   BYTE* pContext, DWORD cbContext, DWORD dwFlags, DWORD dwReserved) = 0;
  virtual HRESULT QueryCustomPolicy(LPCWSTR pwszUrl, REFGUID guidKey, BYTE** ppPolicy, DWORD* pcbPolicy,
                                    BYTE* pContext, DWORD cbContext, DWORD dwReserved) = 0;
  virtual HRESULT SetZoneMapping(DWORD dwZone, LPCWSTR lpszPattern, DWORD dwFlags) = 0;
  virtual HRESULT GetZoneMappings(DWORD dwZone, IEnumString** ppenumString, DWORD dwFlags) = 0;
};
NOCTIVANE_DECLARE_IID(IInternetSecurityManager, IUnknown, "{79EAC9EE-BAF9-11CE-8C82-00AA004BA90B}")
inline constexpr const GUID& SID_SInternetSecurityManager = IID_IInternetSecurityManager;

struct IInternetZoneManager : IUnknown {
  virtual HRESULT GetZoneAttributes(DWORD dwZone, ZONEATTRIBUTES* pZoneAttributes) = 0;
  virtual HRESULT SetZoneAttributes(DWORD dwZone, ZONEATTRIBUTES* pZoneAttributes) = 0;
  virtual HRESULT GetZoneCustomPolicy(DWORD dwZone, REFGUID guidKey, BYTE** ppPolicy, DWORD* pcbPolicy,
                                      URLZONEREG urlZoneReg) = 0;
  virtual HRESULT SetZoneCustomPolicy(DWORD dwZone, REFGUID guidKey, BYTE* pPolicy, DWORD cbPolicy,
                                      URLZONEREG urlZoneReg) = 0;
  virtual HRESULT GetZoneActionPolicy(DWORD dwZone, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                      URLZONEREG urlZoneReg) = 0;
  virtual HRESULT SetZoneActionPolicy(DWORD dwZone, DWORD dwAction, BYTE* pPolicy, DWORD cbPolicy,
                                      URLZONEREG urlZoneReg) = 0;
  virtual HRESULT PromptAction(DWORD dwAction, HWND hwndParent, LPCWSTR pwszUrl, LPCWSTR pwszText,
                               DWORD dwPromptFlags) = 0;
  virtual HRESULT LogAction(DWORD dwAction, LPCWSTR pwszUrl, LPCWSTR pwszText, DWORD dwLogFlags) = 0;
  virtual HRESULT CreateZoneEnumerator(DWORD* pdwEnum, DWORD* pdwCount, DWORD dwFlags) = 0;
  virtual HRESULT GetZoneAt(DWORD dwEnum, DWORD dwIndex, DWORD* pdwZone) = 0;
  virtual HRESULT DestroyZoneEnumerator(DWORD dwEnum) = 0;
  virtual HRESULT CopyTemplatePoliciesToZone(DWORD dwTemplate, DWORD dwZone, DWORD dwReserved) = 0;
};
NOCTIVANE_DECLARE_IID(IInternetZoneManager, IUnknown, "{79EAC9EF-BAF9-11CE-8C82-00AA004BA90B}")

inline constexpr CLSID CLSID_InternetSecurityManager = GuidLiteral("{7B8A2D94-0AC9-11D1-896C-00C04FB6BFC4}");
inline constexpr CLSID CLSID_InternetZoneManager = GuidLiteral("{7B8A2D95-0AC9-11D1-896C-00C04FB6BFC4}");

// `pSP` and `dwReserved` are not used (a site is given with SetSecuritySite).
HRESULT CoInternetCreateSecurityManager(IServiceProvider* pSP, IInternetSecurityManager** ppSM,
                                        DWORD dwReserved);
HRESULT CoInternetCreateZoneManager(IServiceProvider* pSP, IInternetZoneManager** ppZM, DWORD dwReserved);

// ---------------------------------------------------------------- Internet features

enum INTERNETFEATURELIST : DWORD {
  FEATURE_OBJECT_CACHING = 0,
  FEATURE_ZONE_ELEVATION = 1,
  FEATURE_MIME_HANDLING = 2,
  FEATURE_MIME_SNIFFING = 3,
  FEATURE_WINDOW_RESTRICTIONS = 4,
  FEATURE_WEBOC_POPUPMANAGEMENT = 5,
  FEATURE_BEHAVIORS = 6,
  FEATURE_DISABLE_MK_PROTOCOL = 7,
  FEATURE_LOCALMACHINE_LOCKDOWN = 8,
  FEATURE_SECURITYBAND = 9,
  FEATURE_RESTRICT_ACTIVEXINSTALL = 10,
  FEATURE_VALIDATE_NAVIGATE_URL = 11,
  FEATURE_RESTRICT_FILEDOWNLOAD = 12,
  FEATURE_ADDON_MANAGEMENT = 13,
  FEATURE_PROTOCOL_LOCKDOWN = 14,
  FEATURE_HTTP_USERNAME_PASSWORD_DISABLE = 15,
  FEATURE_SAFE_BINDTOOBJECT = 16,
  FEATURE_UNC_SAVEDFILECHECK = 17,
  FEATURE_GET_URL_DOM_FILEPATH_UNENCODED = 18,
  FEATURE_TABBED_BROWSING = 19,
  FEATURE_SSLUX = 20,
  FEATURE_DISABLE_NAVIGATION_SOUNDS = 21,
  FEATURE_DISABLE_LEGACY_COMPRESSION = 22,
  FEATURE_FORCE_ADDR_AND_STATUS = 23,
  FEATURE_XMLHTTP = 24,
  FEATURE_DISABLE_TELNET_PROTOCOL = 25,
  FEATURE_FEEDS = 26,
  FEATURE_BLOCK_INPUT_PROMPTS = 27,
  FEATURE_ENTRY_COUNT = 28,
};

enum : DWORD {
  SET_FEATURE_ON_THREAD = 0x00000001,
  SET_FEATURE_ON_PROCESS = 0x00000002,
  SET_FEATURE_IN_REGISTRY = 0x00000004,
  SET_FEATURE_ON_THREAD_LOCALMACHINE = 0x00000008,
  SET_FEATURE_ON_THREAD_INTRANET = 0x00000010,
  SET_FEATURE_ON_THREAD_TRUSTED = 0x00000020,
  SET_FEATURE_ON_THREAD_INTERNET = 0x00000040,
  SET_FEATURE_ON_THREAD_RESTRICTED = 0x00000080,

  GET_FEATURE_FROM_THREAD = 0x00000001,
  GET_FEATURE_FROM_PROCESS = 0x00000002,
  GET_FEATURE_FROM_REGISTRY = 0x00000004,
  GET_FEATURE_FROM_THREAD_LOCALMACHINE = 0x00000008,
  GET_FEATURE_FROM_THREAD_INTRANET = 0x00000010,
  GET_FEATURE_FROM_THREAD_TRUSTED = 0x00000020,
  GET_FEATURE_FROM_THREAD_INTERNET = 0x00000040,
  GET_FEATURE_FROM_THREAD_RESTRICTED = 0x00000080,
};

// The switches are kept per process. Setting: SET_FEATURE_ON_PROCESS only
// (other flags: E_NOTIMPL); reading: the process value for every GET flag
// (threads have no switches of their own). A feature outside the list:
// E_FAIL. IsFeatureEnabled answers S_OK (on) or S_FALSE (off).
HRESULT CoInternetSetFeatureEnabled(INTERNETFEATURELIST FeatureEntry, DWORD dwFlags, BOOL fEnable);
HRESULT CoInternetIsFeatureEnabled(INTERNETFEATURELIST FeatureEntry, DWORD dwFlags);

// Listeners hear every change of a switch (on the thread that changed it),
// in the order they were added. The answer identifies the listener.
int AddFeatureListener(std::function<void(int feature, bool enabled)> listener);
void RemoveFeatureListener(int id);
// Puts every switch back to its start value (telling the listeners of each change).
void ResetInternetFeatures();

// ---------------------------------------------------------------- start-up

// Registers the "urlmon.dll" stand-in module with its entry points and the
// security and zone manager classes. Finalizing aborts the bindings still
// running and waits for their workers.
void InitializeUrlMon();
void FinalizeUrlMon();
