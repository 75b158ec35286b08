// Internet shortcut files of any bytes: the shortcut object loads the
// address, the address is cracked with and without buffers of every size
// that matters, and an address set and saved loads back.
#include "platform/shell/IntShCut.h"
#include "platform/wininet/WinInet.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QFile>

#include <vector>

using fuzzsupport::Check;

namespace {

DWORD URL_COMPONENTSW::*const kLengths[] = {
    &URL_COMPONENTSW::dwSchemeLength,   &URL_COMPONENTSW::dwHostNameLength,
    &URL_COMPONENTSW::dwUserNameLength, &URL_COMPONENTSW::dwPasswordLength,
    &URL_COMPONENTSW::dwUrlPathLength,  &URL_COMPONENTSW::dwExtraInfoLength};
LPWSTR URL_COMPONENTSW::*const kPointers[] = {
    &URL_COMPONENTSW::lpszScheme,   &URL_COMPONENTSW::lpszHostName, &URL_COMPONENTSW::lpszUserName,
    &URL_COMPONENTSW::lpszPassword, &URL_COMPONENTSW::lpszUrlPath,  &URL_COMPONENTSW::lpszExtraInfo};

void Crack(const String& url) {
  const auto* text = reinterpret_cast<LPCWSTR>(url.utf16());
  for (DWORD flags : {DWORD(0), ICU_DECODE}) {
    // Pointers into the address: every part lies inside it.
    URL_COMPONENTSW parts;
    for (auto length : kLengths) parts.*length = 1;
    if (InternetCrackUrlW(text, 0, flags, &parts) && flags == 0) {
      for (int i = 0; i < 6; ++i) {
        const LPWSTR p = parts.*kPointers[i];
        const DWORD n = parts.*kLengths[i];
        Check(!p || (p >= text && p + n <= text + url.size()), "a part lies inside the address", url);
      }
    }
    // Buffers of one character, then of the size asked for.
    for (DWORD size : {DWORD(1), DWORD(url.size() + 1)}) {
      std::vector<std::vector<char16_t>> buffers(6, std::vector<char16_t>(size + 1, u'#'));
      URL_COMPONENTSW copied;
      for (int i = 0; i < 6; ++i) {
        copied.*kPointers[i] = buffers[size_t(i)].data();
        copied.*kLengths[i] = size;
      }
      if (InternetCrackUrlW(text, DWORD(url.size()), flags, &copied)) {
        for (int i = 0; i < 6; ++i) {
          Check(copied.*kLengths[i] < size, "a copied part fits its buffer", url);
          Check(buffers[size_t(i)][copied.*kLengths[i]] == 0, "a copied part is terminated", url);
          Check(buffers[size_t(i)][size] == u'#', "nothing is written past a buffer", url);
        }
      }
    }
  }
}

String UrlOf(IUniformResourceLocatorW* shortcut) {
  LPWSTR url = nullptr;
  shortcut->GetURL(&url);
  const String s = url ? String::fromUtf16(url) : String();
  CoTaskMemFree(url);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Start(false);
  InitializeShell();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const String path = fuzzsupport::ProfileDir() + QStringLiteral("/fuzz.url");
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(bytes);
  }
  // The first line as an address typed in, then the shortcut's own.
  Crack(QString::fromUtf8(bytes.left(bytes.indexOf('\n'))));

  ComPtr<IUniformResourceLocatorW> shortcut;
  Check(SUCCEEDED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IUniformResourceLocatorW,
                                   reinterpret_cast<void**>(shortcut.GetAddressOf()))),
        "a shortcut is made");
  const ComPtr<IPersistFile> file = shortcut.As<IPersistFile>();
  const auto* wide = reinterpret_cast<LPCOLESTR>(path.utf16());
  Check(file->Load(wide, 0) == S_OK, "any file loads");
  const String url = UrlOf(shortcut.Get());
  Crack(url);

  // Another address saved into the same file keeps the rest and loads back.
  const String changed = url.isEmpty() ? QStringLiteral("http://example.com/") : url + QStringLiteral("x");
  if (shortcut->SetURL(reinterpret_cast<LPCWSTR>(changed.utf16()), IURL_SETURL_FL_GUESS_PROTOCOL) != S_OK)
    return 0;
  const String stored = UrlOf(shortcut.Get());
  Check(file->Save(wide, TRUE) == S_OK, "the shortcut saves");
  ComPtr<IUniformResourceLocatorW> reloaded;
  CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER, IID_IUniformResourceLocatorW,
                   reinterpret_cast<void**>(reloaded.GetAddressOf()));
  Check(reloaded.As<IPersistFile>()->Load(wide, 0) == S_OK, "the saved file loads");
  Check(UrlOf(reloaded.Get()) == stored.trimmed(), "the saved address loads back", stored);
  return 0;
}
