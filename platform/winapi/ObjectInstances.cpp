// Window procedures that call methods of objects.
//
// Each instance is one of a fixed set of compiled procedures, each bound to a
// slot of a table; making an instance binds a free slot to the method. The
// values are therefore real, distinct procedures that can be stored as
// GWL_WNDPROC, compared and called like any other. A released slot that a
// window still refers to is not handed out again until the window lets go.
#include "platform/winapi/Windows.h"

#include "platform/winapi/WinInternal_p.h"

#include <array>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr int kSlots = 4096;

struct Slot {
  TWndMethod method;
  bool used = false;
  int running = 0;
  bool freePending = false;
};

struct Table {
  std::mutex mutex;
  std::array<Slot, kSlots> entries;
  std::vector<int> free;
  std::vector<int> retired;  // released, but a window still refers to them
  std::unordered_map<WNDPROC, int> index;
};

Table& table();
WNDPROC procedureOf(int n);

void releaseLocked(Table& t, int n) {
  Slot& s = t.entries[n];
  s.method = nullptr;
  s.used = false;
  s.freePending = false;
  if (winapi_internal::procedureInUse(procedureOf(n)))
    t.retired.push_back(n);
  else
    t.free.push_back(n);
}

void reclaimLocked(Table& t) {
  auto& r = t.retired;
  for (auto it = r.begin(); it != r.end();) {
    if (winapi_internal::procedureInUse(procedureOf(*it))) {
      ++it;
    } else {
      t.free.push_back(*it);
      it = r.erase(it);
    }
  }
}

LRESULT runSlot(int n, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Table& t = table();
  Slot& s = t.entries[n];
  {
    std::lock_guard lock(t.mutex);
    if (!s.used || s.freePending) return DefWindowProcW(hwnd, msg, wParam, lParam);
    ++s.running;
  }
  struct Done {
    Table& t;
    Slot& s;
    int n;
    ~Done() {
      std::lock_guard lock(t.mutex);
      if (--s.running == 0 && s.freePending) releaseLocked(t, n);
    }
  } done{t, s, n};
  TMessage message{msg, wParam, lParam, 0};
  s.method(message);
  return message.Result;
}

template <int N>
LRESULT trampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return runSlot(N, hwnd, msg, wParam, lParam);
}

template <int... I>
constexpr std::array<WNDPROC, sizeof...(I)> makeProcedures(std::integer_sequence<int, I...>) {
  return {&trampoline<I>...};
}

constexpr std::array<WNDPROC, kSlots> kProcedures = makeProcedures(std::make_integer_sequence<int, kSlots>{});

WNDPROC procedureOf(int n) { return kProcedures[n]; }

Table& table() {
  static Table* t = [] {
    auto* tab = new Table;
    for (int i = kSlots - 1; i >= 0; --i) tab->free.push_back(i);
    for (int i = 0; i < kSlots; ++i) tab->index.emplace(kProcedures[i], i);
    return tab;
  }();
  return *t;
}

}  // namespace

WNDPROC MakeObjectInstance(TWndMethod method) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  if (t.free.empty()) reclaimLocked(t);
  if (t.free.empty()) throw EOutOfResources(QStringLiteral("Too many window procedure instances"));
  int n = t.free.back();
  t.free.pop_back();
  t.entries[n].method = std::move(method);
  t.entries[n].used = true;
  return kProcedures[n];
}

void FreeObjectInstance(WNDPROC instance) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.index.find(instance);
  if (it == t.index.end()) return;
  Slot& s = t.entries[it->second];
  if (!s.used || s.freePending) return;
  if (s.running)
    s.freePending = true;
  else
    releaseLocked(t, it->second);
}
