// Window procedures: object instances and subclass chains.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "tests/platform/winapi/WinTestUtil.h"

using namespace wintest;

namespace {

std::string trail;

LRESULT BaseProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_USER) {
    trail += "base";
    return 100;
  }
  return DefWindowProcW(h, msg, w, l);
}

// A subclasser in the classic style: it keeps the procedure it replaced and
// puts that value back when it is done.
struct Subclasser {
  Subclasser(HWND h, char n) : hwnd(h), name(n) {
    instance = MakeObjectInstance([this](TMessage& m) {
      if (m.Msg == WM_USER) trail += name;
      m.Result = CallWindowProcW(saved, hwnd, m.Msg, m.WParam, m.LParam);
    });
    saved =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(instance)));
  }
  void Remove() { SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(saved)); }
  ~Subclasser() { FreeObjectInstance(instance); }
  HWND hwnd;
  char name;
  WNDPROC instance;
  WNDPROC saved;
};

std::string Deliver(HWND h) {
  trail.clear();
  EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 100);
  return trail;
}

TEST(Procedures, SubclassChainsComeApartInAnyOrder) {
  std::string order = "ABC";
  do {
    HWND h = CreateWindowHandle("Chain", "", WS_OVERLAPPED, 0, nullptr, &BaseProc);
    std::vector<std::unique_ptr<Subclasser>> subs;
    for (char n : std::string("ABC")) subs.push_back(std::make_unique<Subclasser>(h, n));
    EXPECT_EQ(Deliver(h), "CBAbase");
    std::string remaining = "CBA";
    for (char gone : order) {
      subs[gone - 'A']->Remove();
      remaining.erase(remaining.find(gone), 1);
      EXPECT_EQ(Deliver(h), remaining + "base") << "removal order " << order << ", after " << gone;
    }
    EXPECT_EQ(GetWindowLongPtrW(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&BaseProc));
    DestroyWindow(h);
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(Procedures, ASubclasserRemovedEarlyCanComeBack) {
  HWND h = CreateWindowHandle("Chain", "", WS_OVERLAPPED, 0, nullptr, &BaseProc);
  auto a = std::make_unique<Subclasser>(h, 'A');
  auto b = std::make_unique<Subclasser>(h, 'B');
  a->Remove();
  EXPECT_EQ(Deliver(h), "Bbase");
  a = std::make_unique<Subclasser>(h, 'a');
  EXPECT_EQ(Deliver(h), "aBbase");
  b->Remove();
  EXPECT_EQ(Deliver(h), "abase");
  a->Remove();
  EXPECT_EQ(Deliver(h), "base");
  DestroyWindow(h);
}

TEST(Procedures, ObjectInstancesAreDistinctCallableProcedures) {
  int calls1 = 0, calls2 = 0;
  WNDPROC p1 = MakeObjectInstance([&](TMessage& m) {
    if (m.Msg != WM_USER) {
      m.Result = m.Msg == WM_NCCREATE;
      return;
    }
    ++calls1;
    m.Result = LRESULT(m.WParam) * 2;
  });
  WNDPROC p2 = MakeObjectInstance([&](TMessage& m) {
    ++calls2;
    m.Result = m.LParam;
  });
  EXPECT_NE(p1, p2);
  EXPECT_EQ(p1(nullptr, WM_USER, 21, 0), 42);  // a plain procedure
  EXPECT_EQ(CallWindowProcW(p2, nullptr, WM_USER, 0, 5), 5);
  EXPECT_EQ(calls1, 1);
  EXPECT_EQ(calls2, 1);

  HWND h = CreateWindowHandle("Inst", "", WS_OVERLAPPED, 0, nullptr, p1);
  EXPECT_EQ(GetWindowLongPtrW(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(p1));
  EXPECT_EQ(SendMessageW(h, WM_USER, 4, 0), 8);
  DestroyWindow(h);

  // A released instance is safe to call: it behaves as DefWindowProc.
  FreeObjectInstance(p1);
  EXPECT_EQ(p1(nullptr, WM_USER, 21, 0), 0);
  EXPECT_EQ(calls1, 2);
  FreeObjectInstance(p2);
  FreeObjectInstance(p2);  // twice is harmless
}

TEST(Procedures, AnInstanceMayReleaseItselfWhileRunning) {
  // The inner-window pattern: a replacement procedure calls the old one
  // first, and on WM_DESTROY puts the old one back and frees itself.
  HWND h = CreateWindowHandle("Inner", "", WS_OVERLAPPED, 0, nullptr, &BaseProc);
  struct State {
    WNDPROC instance = nullptr;
    WNDPROC old = nullptr;
    std::string seen;
  };
  auto state = std::make_shared<State>();
  state->instance = MakeObjectInstance([state, h](TMessage& m) {
    m.Result = CallWindowProcW(state->old, h, m.Msg, m.WParam, m.LParam);
    if (m.Msg == WM_DESTROY) {
      SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(state->old));
      FreeObjectInstance(state->instance);
      state->seen += "destroy;";  // the captured state is still there
    }
  });
  state->old = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(state->instance)));
  Spy after(h);  // a later subclasser on top keeps working
  EXPECT_TRUE(DestroyWindow(h));
  EXPECT_EQ(state->seen, "destroy;");
  EXPECT_EQ(after.Count(WM_NCDESTROY), 1);
  // The slot is free again and can be handed out anew.
  WNDPROC again = MakeObjectInstance([](TMessage&) {});
  EXPECT_NE(again, nullptr);
  FreeObjectInstance(again);
}

TEST(Procedures, NullProcedureMeansDefault) {
  HWND h = CreateWindowHandle("Null", "text", WS_OVERLAPPED, 0, nullptr, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProcW));
  EXPECT_EQ(CallWindowProcW(nullptr, h, WM_GETTEXTLENGTH, 0, 0), 4);
  DestroyWindow(h);
}

}  // namespace
