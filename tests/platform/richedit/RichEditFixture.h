#pragma once
// A rich edit on a form whose window records what the control tells it.
#include <gtest/gtest.h>

#include <QTest>
#include <QTextEdit>

#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditControl.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace richedittest {

// What the parent window received from the control.
struct Notification {
  UINT msg = 0;
  UINT code = 0;  // WM_NOTIFY code or WM_COMMAND notification
  CHARRANGE range;
  WORD selType = 0;
  UINT mouse = 0;  // EN_LINK: the mouse message
};

class RichEditControl : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeForms();
    InitializeComCtrls();
    InitializeRichEdit();
    form = new TForm(nullptr);
    form->SetBounds(10, 10, 520, 400);
    edit = new TRichEdit(form);
    edit->SetBounds(8, 8, 480, 320);
    edit->SetParent(form);
    const TWndMethod previous = form->WindowProc;
    form->WindowProc = [this, previous](TMessage& m) {
      if (m.Msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(m.LParam);
        Notification n;
        n.msg = WM_NOTIFY;
        n.code = header->code;
        if (header->code == EN_SELCHANGE) {
          const auto* s = reinterpret_cast<const SELCHANGE*>(m.LParam);
          n.range = s->chrg;
          n.selType = s->seltyp;
        } else if (header->code == EN_LINK) {
          const auto* l = reinterpret_cast<const ENLINK*>(m.LParam);
          n.range = l->chrg;
          n.mouse = l->msg;
          m.Result = takeLinks ? 1 : 0;
          notes.push_back(n);
          return;
        }
        notes.push_back(n);
      } else if (m.Msg == WM_COMMAND && reinterpret_cast<HWND>(m.LParam) == edit->Handle()) {
        Notification n;
        n.msg = WM_COMMAND;
        n.code = HIWORD(m.WParam);
        notes.push_back(n);
      } else if (m.Msg == WM_COMMAND && m.LParam == 0) {
        menuCommands.push_back(LOWORD(m.WParam));
      } else if (m.Msg == WM_CONTEXTMENU) {
        ++parentContextMenus;
      }
      previous(m);
    };
  }
  void TearDown() override {
    delete form;
    FinalizeForms();
  }

  void Show() {
    form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
  }
  QTextEdit* Text() { return edit->TextEdit(); }
  LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessage(edit->Handle(), msg, w, l); }
  template <class T>
  LRESULT Send(UINT msg, WPARAM w, T* p) {
    return Send(msg, w, reinterpret_cast<LPARAM>(p));
  }
  String Range(LONG from, LONG to) {
    std::vector<WCHAR> buffer(std::max<LONG>(to < 0 ? 4096 : to - from, 0) + 1, WCHAR(0xFFFF));
    TEXTRANGEW r{{from, to}, buffer.data()};
    const LRESULT n = Send(EM_GETTEXTRANGE, 0, &r);
    EXPECT_EQ(buffer[n], 0);
    return String::fromUtf16(buffer.data(), n);
  }
  // The ranges the control marks as links, in order.
  using Ranges = std::vector<std::pair<int, int>>;
  Ranges LinkMarks() {
    Ranges out;
    for (const QTextEdit::ExtraSelection& s : Text()->extraSelections())
      out.emplace_back(s.cursor.selectionStart(), s.cursor.selectionEnd());
    std::sort(out.begin(), out.end());
    return out;
  }
  int Count(UINT code) const {
    return int(
        std::count_if(notes.begin(), notes.end(), [code](const Notification& n) { return n.code == code; }));
  }

  TForm* form = nullptr;
  TRichEdit* edit = nullptr;
  std::vector<Notification> notes;
  bool takeLinks = false;
  int parentContextMenus = 0;
  std::vector<WORD> menuCommands;
};

}  // namespace richedittest
