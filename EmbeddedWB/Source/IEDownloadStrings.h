#pragma once
// Texts for the numbers that URL-moniker bindings and HTTP report: the flags of
// a data-available notification and every other status, response or error
// code; and the step and error messages that the page parser and the download
// component put in front of them.
#include "platform/rtl/SysUtils.h"

namespace IEDownloadStrings {

// The text of one data-available notification flag (1, 2, 4, 8 or 16); any
// other value, a combination of flags included, is read as a status code.
String BscfFlagText(Cardinal Flag);

// The fixed text of a bind-status value (0 to 56), an HTTP status code, a
// WinInet certificate or security error, a COM or URL-moniker result, or the
// moniker's asynchronous-success code. A number always means the same thing
// whatever reported it. Any other code gives "Unknown Response: ", the code in
// decimal, a blank and the system's message for it (which may be empty).
String StatusCodeText(Integer Code);

// Step and error messages, worded as the logs have always shown them (their
// trailing blanks and spellings are kept: log readers match on them).
// Loading a windowless document:
inline constexpr char sCoCreateInstance[] = "CoCreateInstance: ";
inline constexpr char sErrCoCreateInstance[] = "Error while CoCreateInstance: ";
inline constexpr char sSetClientSite[] = "Getting SetClientSite: ";
inline constexpr char sErrSetClientSite[] = "Error while getting SetClientSite: ";
inline constexpr char sAmbientPropertyChange[] = "Getting AmbientPropertyChange: ";
inline constexpr char sErrAmbientPropertyChange[] = "Error while getting AmbientPropertyChang: ";
inline constexpr char sConnectionPointContainer[] = "Getting IConnectionPointContainer: ";
inline constexpr char sErrConnectionPointContainer[] = "Error while getting IConnectionPointContainer: ";
inline constexpr char sAdvise[] = "Getting ConnectionPoint.Advise ";
inline constexpr char sErrAdvise[] = "Error while getting ConnectionPoint.Advise: ";
inline constexpr char sLoadFromString[] = "Loading from string: ";
inline constexpr char sErrLoadFromString[] = "Error while loading from string: ";
inline constexpr char sLoadFromMoniker[] = "loading from moniker: ";
inline constexpr char sErrLoadFromMoniker[] = "Error while loading from moniker: ";
inline constexpr char sLoadAsPersistMoniker[] = "Loading as IpersistMoniker ";
inline constexpr char sErrLoadAsPersistMoniker[] = "Error while loading as IpersistMoniker: ";
inline constexpr char sBadDocument[] = "Bad document or bad Address.";
// Building and binding a moniker, shared with the download component:
inline constexpr char sCreateURLMonikerEx[] = "CreateURLMonikerEx: ";
inline constexpr char sErrCreateURLMonikerEx[] = "Error while CreateURLMonikerEx: ";
inline constexpr char sCreateAsyncBindCtx[] = "CreateAsyncBindCtx: ";
inline constexpr char sErrCreateAsyncBindCtx[] = "Error while CreateAsyncBindCtx: ";
inline constexpr char sDone[] = "Done.";
// The download component:
inline constexpr char sRegisterBindStatusCallback[] = "RegisterBindStatusCallback: ";
inline constexpr char sErrRegisterBindStatusCallback[] = "Error while RegisterBindStatusCallback: ";
inline constexpr char sRegisterNewMoniker[] = "Registering new moniker: ";
inline constexpr char sMonikerBindToStorage[] = "MonikerBindToStorage: ";
inline constexpr char sErrMonikerBindToStorage[] = "Error while MonikerBindToStorage ";
inline constexpr char sRevokeBindStatusCallback[] = "RevokeBindStatusCallback: ";
inline constexpr char sErrRevokeBindStatusCallback[] = "Error while RevokeBindStatusCallback. ";
inline constexpr char sUrlDownloadToFile[] = "UrlDownloadToFile";
inline constexpr char sErrUrlDownloadToFile[] = "Error while UrlDownloadToFile";
inline constexpr char sErrTimeOut[] = "Error: Time Out.";
inline constexpr char sErrProcessEvents[] = "ProcessEvents fails to wait until complete.";
// The elapsed-time format and the speed unit of progress reports.
inline constexpr char sTimeFormat[] = "mm:ss.zzz";
inline constexpr char sSpeedUnit[] = "kb/sec";

}  // namespace IEDownloadStrings
