// Thread hooks. The mouse hook is called by the event translation for every
// mouse event of the thread's widgets, before any window sees it.
#include "platform/winapi/Windows.h"

#include "platform/winapi/WinInternal_p.h"

#include <algorithm>
#include <mutex>
#include <vector>

using namespace winapi_internal;

namespace {

struct Hook {
  HHOOK handle;
  int id;
  HOOKPROC proc;
  DWORD threadId;
};

std::mutex hooksMutex;
std::vector<Hook> hooks;  // newest first
// The hooks running on this thread, innermost last: CallNextHookEx goes on
// from the running one, whatever handle it is given.
thread_local std::vector<Hook> running;

LRESULT run(const Hook& h, int code, WPARAM wParam, LPARAM lParam) {
  running.push_back(h);
  struct Pop {
    ~Pop() { running.pop_back(); }
  } pop;
  return h.proc(code, wParam, lParam);
}

// The hook after `after` (or the first one when null) in the chain of the
// same kind on the calling thread.
bool nextHook(int id, HHOOK after, Hook& out) {
  std::lock_guard lock(hooksMutex);
  const DWORD thread = GetCurrentThreadId();
  bool passed = after == nullptr;
  for (const Hook& h : hooks) {
    if (h.id != id || h.threadId != thread) continue;
    if (passed) {
      out = h;
      return true;
    }
    passed = h.handle == after;
  }
  return false;
}

int hookKindOf(HHOOK hook) {
  std::lock_guard lock(hooksMutex);
  for (const Hook& h : hooks)
    if (h.handle == hook) return h.id;
  return -1;
}

}  // namespace

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (idHook != WH_MOUSE) {
    SetLastError(ERROR_INVALID_HOOK_FILTER);
    return nullptr;
  }
  if (!proc || (threadId && threadId != GetCurrentThreadId())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ensureBridge();
  static std::uintptr_t next = 0x20000;
  std::lock_guard lock(hooksMutex);
  next += 4;
  Hook h{reinterpret_cast<HHOOK>(next), idHook, proc, GetCurrentThreadId()};
  hooks.insert(hooks.begin(), h);
  return h.handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  std::lock_guard lock(hooksMutex);
  auto it = std::find_if(hooks.begin(), hooks.end(), [hook](const Hook& h) { return h.handle == hook; });
  if (it == hooks.end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  int kind = -1;
  if (!running.empty()) {
    hook = running.back().handle;
    kind = running.back().id;
  } else {
    kind = hookKindOf(hook);
  }
  Hook next;
  if (kind < 0 || !nextHook(kind, hook, next)) return 0;
  return run(next, code, wParam, lParam);
}

namespace winapi_internal {

bool hasMouseHooks() {
  std::lock_guard lock(hooksMutex);
  return std::any_of(hooks.begin(), hooks.end(), [](const Hook& h) { return h.id == WH_MOUSE; });
}

bool callMouseHooks(UINT msg, const MOUSEHOOKSTRUCTEX& info) {
  Hook first;
  if (!nextHook(WH_MOUSE, nullptr, first)) return false;
  MOUSEHOOKSTRUCTEX copy = info;
  return run(first, HC_ACTION, msg, reinterpret_cast<LPARAM>(&copy)) != 0;
}

}  // namespace winapi_internal
