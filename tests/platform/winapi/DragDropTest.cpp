// Drop targets of windows over Qt's drag events, the data objects they get,
// and the browser's context-menu resource library.
#include "platform/com/ComObject.h"
#include "platform/winapi/DragDrop.h"
#include "platform/winapi/Menus.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <memory>
#include <vector>

namespace {

constexpr CLIPFORMAT kText = 1, kUnicodeText = 13;

// A target that answers every call with `answer` and records the calls.
class RecordingTarget : public ComObject<IDropTarget> {
 public:
  struct Call {
    char kind;  // 'E'nter, 'O'ver, 'L'eave, 'D'rop
    DWORD keys = 0;
    POINTL pt;
    DWORD offered = 0;
    bool hasData = false;
  };
  std::vector<Call> calls;
  DWORD answer = DROPEFFECT_COPY;

  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    return record('E', data, keys, pt, effect);
  }
  HRESULT DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
    return record('O', nullptr, keys, pt, effect);
  }
  HRESULT DragLeave() override {
    calls.push_back({'L', 0, {}, 0, false});
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    return record('D', data, keys, pt, effect);
  }

 private:
  HRESULT record(char kind, IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    calls.push_back({kind, keys, pt, *effect, data != nullptr});
    *effect = answer;
    return S_OK;
  }
};

// A widget that counts the drag events it gets itself.
class DropArea : public QWidget {
 public:
  DropArea() { setAcceptDrops(true); }
  int own = 0;

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override {
    ++own;
    e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override {
    ++own;
    e->acceptProposedAction();
  }
};

struct Window {
  Window() : widget(std::make_unique<DropArea>()) {
    widget->resize(200, 100);
    hwnd = CreateWindowHandle("DropArea", "", 0, 0, nullptr, nullptr, widget.get());
  }
  ~Window() {
    RevokeDragDrop(hwnd);
    DestroyWindow(hwnd);
  }
  std::unique_ptr<DropArea> widget;
  HWND hwnd = nullptr;
};

QMimeData* textData(const QString& text) {
  auto* data = new QMimeData;
  data->setText(text);
  return data;
}

// Sends an enter, a move and a drop (or a leave); answers the drop's action
// (Qt::IgnoreAction when refused).
Qt::DropAction dragOnto(QWidget* widget, QMimeData* data, Qt::DropActions actions, bool drop = true,
                        Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPoint at(30, 20);
  QDragEnterEvent enter(at, actions, data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(widget, &enter);
  QDragMoveEvent move(at + QPoint(5, 5), actions, data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(widget, &move);
  if (!drop) {
    QDragLeaveEvent leave;
    QApplication::sendEvent(widget, &leave);
    return Qt::IgnoreAction;
  }
  QDropEvent dropped(QPointF(at + QPoint(5, 5)), actions, data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(widget, &dropped);
  return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
}

String textOf(IDataObject* data, CLIPFORMAT format, bool wide) {
  FORMATETC f{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (data->GetData(&f, &medium) != S_OK) return "<none>";
  EXPECT_EQ(medium.tymed, DWORD(TYMED_HGLOBAL));
  const String text = wide ? String::fromUtf16(static_cast<const char16_t*>(medium.hGlobal))
                           : String::fromLocal8Bit(static_cast<const char*>(medium.hGlobal));
  EXPECT_NE(medium.pUnkForRelease, nullptr);
  if (medium.pUnkForRelease) medium.pUnkForRelease->Release();
  return text;
}

// ---------------------------------------------------------------- registration

TEST(DropTargets, RegistrationRules) {
  Window w;
  HWND bare = CreateWindowHandle("Bare", "", 0, 0, nullptr, nullptr);
  ComPtr<RecordingTarget> target = MakeCom<RecordingTarget>();
  EXPECT_EQ(RegisterDragDrop(w.hwnd, nullptr), E_INVALIDARG);
  EXPECT_EQ(RegisterDragDrop(bare, target.Get()), DRAGDROP_E_INVALIDHWND);  // no widget
  EXPECT_EQ(RegisterDragDrop(reinterpret_cast<HWND>(0x1234), target.Get()), DRAGDROP_E_INVALIDHWND);
  w.widget->setAcceptDrops(false);

  ASSERT_EQ(RegisterDragDrop(w.hwnd, target.Get()), S_OK);
  EXPECT_TRUE(w.widget->acceptDrops());  // so that Qt hands it drags
  EXPECT_EQ(target->RefCount(), 2u);
  EXPECT_EQ(RegisterDragDrop(w.hwnd, target.Get()), DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_EQ(RegisteredDropTarget(w.hwnd).Get(), target.Get());

  EXPECT_EQ(RevokeDragDrop(w.hwnd), S_OK);
  EXPECT_EQ(RevokeDragDrop(w.hwnd), DRAGDROP_E_NOTREGISTERED);
  EXPECT_EQ(RegisteredDropTarget(w.hwnd), nullptr);
  EXPECT_EQ(target->RefCount(), 1u);
  EXPECT_FALSE(w.widget->acceptDrops());  // as it was

  // A window that goes without revoking: its widget is its own again at once,
  // and the registration goes.
  auto widget = std::make_unique<DropArea>();
  HWND gone = CreateWindowHandle("DropArea", "", 0, 0, nullptr, nullptr, widget.get());
  ASSERT_EQ(RegisterDragDrop(gone, target.Get()), S_OK);
  DestroyWindow(gone);
  QMimeData data;
  data.setText("x");
  EXPECT_EQ(dragOnto(widget.get(), &data, Qt::CopyAction), Qt::CopyAction);
  EXPECT_EQ(widget->own, 2);
  EXPECT_TRUE(target->calls.empty());
  EXPECT_EQ(RegisteredDropTarget(gone), nullptr);
  EXPECT_EQ(target->RefCount(), 1u);
  DestroyWindow(bare);
}

// ---------------------------------------------------------------- drag events

TEST(DropTargets, DragEventsBecomeCallsOfTheTarget) {
  Window w;
  ComPtr<RecordingTarget> target = MakeCom<RecordingTarget>();
  ASSERT_EQ(RegisterDragDrop(w.hwnd, target.Get()), S_OK);
  std::unique_ptr<QMimeData> data(textData("words"));

  // Copy offered and taken; the widget sees nothing of it.
  EXPECT_EQ(dragOnto(w.widget.get(), data.get(), Qt::CopyAction | Qt::MoveAction, true, Qt::ShiftModifier),
            Qt::CopyAction);
  EXPECT_EQ(w.widget->own, 0);
  ASSERT_EQ(target->calls.size(), 3u);
  EXPECT_EQ(target->calls[0].kind, 'E');
  EXPECT_TRUE(target->calls[0].hasData);
  EXPECT_EQ(target->calls[0].keys, DWORD(MK_LBUTTON | MK_SHIFT));
  EXPECT_EQ(target->calls[0].offered, DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  const QPoint global = w.widget->mapToGlobal(QPoint(30, 20));
  EXPECT_EQ(target->calls[0].pt.x, global.x());
  EXPECT_EQ(target->calls[0].pt.y, global.y());
  EXPECT_EQ(target->calls[1].kind, 'O');
  EXPECT_EQ(target->calls[1].pt.x, global.x() + 5);
  EXPECT_EQ(target->calls[2].kind, 'D');
  EXPECT_TRUE(target->calls[2].hasData);

  // An effect the source does not offer refuses, and the drop goes nowhere else.
  target->calls.clear();
  target->answer = DROPEFFECT_LINK;
  EXPECT_EQ(dragOnto(w.widget.get(), data.get(), Qt::CopyAction | Qt::MoveAction), Qt::IgnoreAction);
  target->answer = DROPEFFECT_NONE;
  EXPECT_EQ(dragOnto(w.widget.get(), data.get(), Qt::CopyAction), Qt::IgnoreAction);
  EXPECT_EQ(w.widget->own, 0);

  // Move when only move is taken, whatever was proposed.
  target->answer = DROPEFFECT_MOVE | DROPEFFECT_LINK;
  EXPECT_EQ(dragOnto(w.widget.get(), data.get(), Qt::CopyAction | Qt::MoveAction), Qt::MoveAction);

  // A drag that leaves.
  target->calls.clear();
  dragOnto(w.widget.get(), data.get(), Qt::CopyAction, false);
  ASSERT_EQ(target->calls.size(), 3u);
  EXPECT_EQ(target->calls[2].kind, 'L');

  // Revoked: the widget's own handling again.
  RevokeDragDrop(w.hwnd);
  target->calls.clear();
  EXPECT_EQ(dragOnto(w.widget.get(), data.get(), Qt::CopyAction), Qt::CopyAction);
  EXPECT_EQ(w.widget->own, 2);
  EXPECT_TRUE(target->calls.empty());
}

// ---------------------------------------------------------------- data objects

TEST(DataObjects, TextAndAddressFormats) {
  QMimeData data;
  data.setText(QString::fromUtf8("caf\xc3\xa9 au lait"));
  data.setUrls({QUrl("http://127.0.0.1/one"), QUrl("http://127.0.0.1/two")});
  ComPtr<IDataObject> object = CreateDataObject(&data);
  const CLIPFORMAT urlW = CLIPFORMAT(RegisterClipboardFormat("UniformResourceLocatorW"));
  const CLIPFORMAT urlA = CLIPFORMAT(RegisterClipboardFormat("uniformresourcelocator"));
  EXPECT_GE(urlW, 0xC000);
  EXPECT_NE(urlW, urlA);
  EXPECT_EQ(RegisterClipboardFormatW(u"UNIFORMRESOURCELOCATORW"), UINT(urlW));
  EXPECT_EQ(RegisterClipboardFormat(""), 0u);

  EXPECT_EQ(textOf(object.Get(), kUnicodeText, true), QString::fromUtf8("caf\xc3\xa9 au lait"));
  EXPECT_EQ(textOf(object.Get(), kText, false), QString::fromUtf8("caf\xc3\xa9 au lait"));
  EXPECT_EQ(textOf(object.Get(), urlW, true), "http://127.0.0.1/one");
  EXPECT_EQ(textOf(object.Get(), urlA, false), "http://127.0.0.1/one");

  FORMATETC other{CLIPFORMAT(2), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(object->QueryGetData(&other), DV_E_FORMATETC);
  FORMATETC stream{kUnicodeText, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  EXPECT_EQ(object->QueryGetData(&stream), DV_E_TYMED);
  STGMEDIUM medium{};
  EXPECT_EQ(object->GetData(&stream, &medium), DV_E_TYMED);

  // The formats offered, in order.
  ComPtr<IEnumFORMATETC> formats;
  ASSERT_EQ(object->EnumFormatEtc(DATADIR_GET, formats.GetAddressOf()), S_OK);
  FORMATETC got[8];
  ULONG fetched = 0;
  EXPECT_EQ(formats->Next(8, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 4u);
  EXPECT_EQ(got[0].cfFormat, kUnicodeText);
  EXPECT_EQ(got[1].cfFormat, kText);
  EXPECT_EQ(got[2].cfFormat, urlW);
  EXPECT_EQ(got[3].cfFormat, urlA);
}

TEST(DataObjects, AddressesAloneAlsoGiveTextAndNothingGivesNothing) {
  QMimeData links;
  links.setUrls({QUrl("http://127.0.0.1/one"), QUrl("file:///tmp/two.txt")});
  ComPtr<IDataObject> object = CreateDataObject(&links);
  EXPECT_EQ(textOf(object.Get(), kUnicodeText, true).trimmed(), "http://127.0.0.1/one\nfile:///tmp/two.txt");

  QMimeData empty;
  for (ComPtr<IDataObject> none : {CreateDataObject(&empty), CreateDataObject(nullptr)}) {
    FORMATETC text{kUnicodeText, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(none->QueryGetData(&text), DV_E_FORMATETC);
  }
}

// ---------------------------------------------------------------- the browser's menus

TEST(BrowserMenuResource, OneMenuPerContextMenuKind) {
  RegisterShdoclcModule();
  HMODULE library = LoadLibrary("SHDOCLC.DLL");
  ASSERT_NE(library, nullptr);
  HMENU menus = LoadMenuW(library, MAKEINTRESOURCEW(24641));
  ASSERT_NE(menus, nullptr);
  EXPECT_EQ(GetMenuItemCount(menus), 12);  // default .. horizontal scroll bar
  EXPECT_EQ(GetSubMenu(menus, 12), nullptr);
  for (int kind = 0; kind < 12; ++kind) EXPECT_GT(GetMenuItemCount(GetSubMenu(menus, kind)), 0) << kind;

  // The page's own menu holds every item that can be removed but the link ones.
  HMENU page = GetSubMenu(menus, 0);
  for (UINT id :
       {2282u, 2283u, 2263u, 2264u, 2265u, 2278u, 31u, 26u, 2266u, 2261u, 2292u, 2300u, 2139u, 28u, 27u})
    EXPECT_NE(GetMenuState(page, id, MF_BYCOMMAND), 0xFFFFFFFFu) << id;
  EXPECT_EQ(GetMenuState(page, 2136, MF_BYCOMMAND), 0xFFFFFFFFu);
  HMENU anchor = GetSubMenu(menus, 5);
  EXPECT_NE(GetMenuState(anchor, 2136, MF_BYCOMMAND), 0xFFFFFFFFu);
  EXPECT_NE(GetMenuState(anchor, 2137, MF_BYCOMMAND), 0xFFFFFFFFu);
  EXPECT_NE(GetMenuState(GetSubMenu(menus, 4), 15, MF_BYCOMMAND), 0xFFFFFFFFu);  // copy of a selection

  // The Encoding item keeps its command when a sub-menu is put into it, so it
  // can still be found and removed by command.
  HMENU encodings = CreatePopupMenu();
  AppendMenuW(encodings, MF_STRING, 3610, u"Unicode (UTF-8)");
  MENUITEMINFOW info;
  info.fMask = MIIM_SUBMENU;
  info.hSubMenu = encodings;
  ASSERT_TRUE(SetMenuItemInfoW(page, 2292, FALSE, &info));
  MENUITEMINFOW read;
  read.fMask = MIIM_SUBMENU | MIIM_ID;
  ASSERT_TRUE(GetMenuItemInfoW(page, 2292, FALSE, &read));
  EXPECT_EQ(read.hSubMenu, encodings);
  EXPECT_EQ(read.wID, 2292u);
  EXPECT_TRUE(DeleteMenu(page, 2292, MF_BYCOMMAND));
  EXPECT_FALSE(IsMenu(encodings));
  EXPECT_EQ(GetMenuState(page, 2292, MF_BYCOMMAND), 0xFFFFFFFFu);
  DestroyMenu(menus);
  FreeLibrary(library);
}

}  // namespace
