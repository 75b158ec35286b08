#pragma once
// Helpers of the shell tests.
#include "platform/shell/ShlObj.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <memory>
#include <vector>

namespace shelltest {

struct PidlFree {
  void operator()(ITEMIDLIST* p) const { ILFree(p); }
};
using Pidl = std::unique_ptr<ITEMIDLIST, PidlFree>;

// The display name of an item (the record must be a task-memory string).
inline QString nameOf(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags) {
  STRRET s;
  if (FAILED(folder->GetDisplayNameOf(item, flags, &s))) return QStringLiteral("<failed>");
  EXPECT_EQ(s.uType, STRRET_WSTR);
  const QString text = OleStrToString(s.pOleStr);
  CoTaskMemFree(s.pOleStr);
  return text;
}

inline std::vector<Pidl> enumerate(IShellFolder* folder, SHCONTF flags) {
  std::vector<Pidl> items;
  ComPtr<IEnumIDList> e;
  if (FAILED(folder->EnumObjects(nullptr, flags, &e)) || !e) return items;
  PITEMID_CHILD item = nullptr;
  ULONG fetched = 0;
  while (e->Next(1, &item, &fetched) == S_OK && fetched == 1) items.emplace_back(item);
  return items;
}

inline QStringList namesOf(IShellFolder* folder, const std::vector<Pidl>& items,
                           SHGDNF flags = SHGDN_NORMAL) {
  QStringList names;
  for (const Pidl& p : items) names << nameOf(folder, p.get(), flags);
  return names;
}

inline SFGAOF attributesOf(IShellFolder* folder, PCUITEMID_CHILD item, SFGAOF asked = ~SFGAOF(0)) {
  SFGAOF a = asked;
  EXPECT_EQ(folder->GetAttributesOf(1, &item, &a), S_OK);
  return a;
}

// The folder an absolute list names, bound from the desktop.
inline ComPtr<IShellFolder> bind(PCIDLIST_ABSOLUTE absolute) {
  ComPtr<IShellFolder> desktop, folder;
  EXPECT_EQ(SHGetDesktopFolder(&desktop), S_OK);
  EXPECT_EQ(desktop->BindToObject(absolute, nullptr, IID_IShellFolder, &folder), S_OK);
  return folder;
}

// A new empty folder in the profile.
inline QString freshFolder(const QString& name) {
  const QString path = testsupport::profileDir() + "/shell-tests/" + name;
  QDir(path).removeRecursively();
  QDir().mkpath(path);
  return path;
}

}  // namespace shelltest

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

namespace shelltest {

// Receives what the shell opens through the desktop, for the schemes given.
class OpenedUrls : public QObject {
  Q_OBJECT
 public:
  explicit OpenedUrls(QStringList schemes = {"file", "http", "https"}) : schemes_(schemes) {
    for (const QString& s : schemes_) QDesktopServices::setUrlHandler(s, this, "open");
  }
  ~OpenedUrls() override {
    for (const QString& s : schemes_) QDesktopServices::unsetUrlHandler(s);
  }
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls << url; }

 private:
  QStringList schemes_;
};

// Points the freedesktop trash into the test's profile for the life of the
// object.
class TemporaryTrash {
 public:
  TemporaryTrash() : previous_(qgetenv("XDG_DATA_HOME")) {
    dataHome = testsupport::profileDir() + "/xdg-data";
    QDir(dataHome).removeRecursively();
    QDir().mkpath(dataHome);
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());
  }
  ~TemporaryTrash() {
    if (previous_.isEmpty())
      qunsetenv("XDG_DATA_HOME");
    else
      qputenv("XDG_DATA_HOME", previous_);
  }
  QString filesDir() const { return dataHome + "/Trash/files"; }
  QString dataHome;

 private:
  QByteArray previous_;
};

// Installs prompts for a test and puts the previous ones back.
class Prompts {
 public:
  explicit Prompts(TShellPrompts prompts) : previous_(SetShellPrompts(std::move(prompts))) {}
  ~Prompts() { SetShellPrompts(previous_); }

 private:
  TShellPrompts previous_;
};

}  // namespace shelltest
