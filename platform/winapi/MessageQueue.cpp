// Thread message queues: posted and sent messages, PeekMessage / GetMessage,
// and the message filters of each thread.
//
// Every thread that uses windows or posts to itself has one queue object
// living in it. A posted message is appended to the queue and a wake event is
// posted to the queue object, so the thread's Qt event loop delivers the
// messages in order; GetMessage and PeekMessage take messages from the same
// queue. A message sent from another thread waits in the queue's list of sent
// messages until the window's thread handles it (in its event loop, or inside
// PeekMessage, GetMessage and its own waits for a send).
#include "platform/winapi/Windows.h"

#include "platform/winapi/WinInternal_p.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QScopeGuard>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>

using namespace winapi_internal;

namespace {

const QEvent::Type kWake = QEvent::Type(QEvent::registerEventType());

class ThreadQueue;

struct SentCall {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  ThreadQueue* sender;
  LRESULT result = 0;
  bool done = false;  // guarded by the sender's mutex
};

class ThreadQueue : public QObject {
 public:
  explicit ThreadQueue(DWORD id) : threadId(id) {}
  ~ThreadQueue() override;
  bool event(QEvent* e) override;

  const DWORD threadId;
  std::mutex mutex;
  std::condition_variable cv;  // a sent message arrived, or one of ours was answered
  std::deque<MSG> posted;
  std::deque<SentCall*> sent;
  std::size_t wakes = 0;  // wake events on their way
  // Owner thread only:
  std::vector<int> waitLevels;  // event-loop levels of running GetMessage calls
  std::vector<std::pair<int, TMessageFilter>> filters;
};

std::mutex queuesMutex;
std::unordered_map<DWORD, ThreadQueue*> queues;
thread_local std::unique_ptr<ThreadQueue> ownQueue;

ThreadQueue* currentQueue() {
  if (!ownQueue) {
    ownQueue = std::make_unique<ThreadQueue>(GetCurrentThreadId());
    std::lock_guard lock(queuesMutex);
    queues[ownQueue->threadId] = ownQueue.get();
  }
  return ownQueue.get();
}

void complete(SentCall* call, LRESULT result) {
  {
    std::lock_guard lock(call->sender->mutex);
    call->result = result;
    call->done = true;
  }
  call->sender->cv.notify_all();
}

ThreadQueue::~ThreadQueue() {
  {
    std::lock_guard lock(queuesMutex);
    queues.erase(threadId);
  }
  std::deque<SentCall*> pending;
  {
    std::lock_guard lock(mutex);
    pending.swap(sent);
  }
  for (SentCall* c : pending) complete(c, 0);
}

// Queues a message; the caller holds queuesMutex.
void enqueueLocked(ThreadQueue* q, const MSG& m) {
  {
    std::lock_guard lock(q->mutex);
    q->posted.push_back(m);
    ++q->wakes;
  }
  QCoreApplication::postEvent(q, new QEvent(kWake));
}

void handleSent(ThreadQueue* q) {
  for (;;) {
    SentCall* call;
    {
      std::lock_guard lock(q->mutex);
      if (q->sent.empty()) return;
      call = q->sent.front();
      q->sent.pop_front();
    }
    // The sender waits for an answer, also when the procedure throws.
    LRESULT result = 0;
    const auto answer = qScopeGuard([&] { complete(call, result); });
    if (IsWindow(call->hwnd)) result = callProcedure(call->hwnd, call->msg, call->wParam, call->lParam);
  }
}

bool matches(const MSG& m, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (hwnd == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd) return false;
  } else if (hwnd && m.hwnd != hwnd) {
    return false;
  }
  if (m.message == WM_QUIT || (filterMin == 0 && filterMax == 0)) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

// Takes (or copies) the oldest matching message; messages of windows that no
// longer exist are dropped on the way.
bool take(ThreadQueue* q, MSG* out, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
  std::lock_guard lock(q->mutex);
  for (auto it = q->posted.begin(); it != q->posted.end();) {
    if (it->hwnd && !IsWindow(it->hwnd)) {
      it = q->posted.erase(it);
      continue;
    }
    if (matches(*it, hwnd, filterMin, filterMax)) {
      if (out) *out = *it;
      if (remove) q->posted.erase(it);
      return true;
    }
    ++it;
  }
  return false;
}

// Makes sure every queued message has a wake event on its way.
void ensureWakes(ThreadQueue* q) {
  std::size_t missing = 0;
  {
    std::lock_guard lock(q->mutex);
    std::size_t needed = q->posted.size() + q->sent.size();
    if (q->wakes < needed) {
      missing = needed - q->wakes;
      q->wakes = needed;
    }
  }
  for (std::size_t i = 0; i < missing; ++i) QCoreApplication::postEvent(q, new QEvent(kWake));
}

void deliverPosted(MSG& m) {
  if (m.hwnd && !IsWindow(m.hwnd)) return;
  if (runThreadFilters(m)) return;
  if (m.hwnd) DispatchMessageW(&m);
}

bool ThreadQueue::event(QEvent* e) {
  if (e->type() != kWake) return QObject::event(e);
  {
    std::lock_guard lock(mutex);
    if (wakes) --wakes;
  }
  handleSent(this);
  // A GetMessage running at this level takes the message itself.
  if (!waitLevels.empty() && waitLevels.back() == QThread::currentThread()->loopLevel()) return true;
  MSG m;
  if (take(this, &m, nullptr, 0, 0, true)) deliverPosted(m);
  return true;
}

MSG makeMsg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  if (qApp && QThread::currentThread() == qApp->thread()) {
    QPoint p = QCursor::pos();
    m.pt = POINT{p.x(), p.y()};
  }
  return m;
}

BOOL postToThread(DWORD threadId, const MSG& m) {
  std::lock_guard lock(queuesMutex);
  auto it = queues.find(threadId);
  if (it == queues.end()) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  enqueueLocked(it->second, m);
  return TRUE;
}

}  // namespace

namespace winapi_internal {

void ensureThreadQueue() { currentQueue(); }

bool runThreadFilters(MSG& msg) {
  ThreadQueue* q = currentQueue();
  if (q->filters.empty()) return false;
  auto filters = q->filters;  // a filter may add or remove filters
  for (auto& [id, filter] : filters)
    if (filter(msg)) return true;
  return false;
}

}  // namespace winapi_internal

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DWORD threadId;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    threadId = w->threadId;
  }
  if (threadId == GetCurrentThreadId()) return callProcedure(hwnd, msg, wParam, lParam);
  ThreadQueue* mine = currentQueue();
  SentCall call{hwnd, msg, wParam, lParam, mine};
  {
    std::lock_guard lock(queuesMutex);
    auto it = queues.find(threadId);
    if (it == queues.end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    ThreadQueue* target = it->second;
    {
      std::lock_guard qlock(target->mutex);
      target->sent.push_back(&call);
      ++target->wakes;
    }
    target->cv.notify_all();
    QCoreApplication::postEvent(target, new QEvent(kWake));
  }
  // Wait for the answer; messages sent to this thread meanwhile are handled.
  for (;;) {
    {
      std::unique_lock lock(mine->mutex);
      mine->cv.wait(lock, [&] { return call.done || !mine->sent.empty(); });
      if (call.done) return call.result;
    }
    handleSent(mine);
  }
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), msg, wParam, lParam);
  DWORD threadId;
  {
    std::lock_guard lock(registry().mutex);
    WindowRec* w = findLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    threadId = w->threadId;
  }
  return postToThread(threadId, makeMsg(hwnd, msg, wParam, lParam));
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) currentQueue();
  return postToThread(threadId, makeMsg(nullptr, msg, wParam, lParam));
}

void PostQuitMessage(int exitCode) { PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, WPARAM(exitCode), 0); }

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  ThreadQueue* q = currentQueue();
  handleSent(q);
  return take(q, msg, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0);
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  ThreadQueue* q = currentQueue();
  q->waitLevels.push_back(QThread::currentThread()->loopLevel());
  struct Leave {
    ThreadQueue* q;
    ~Leave() {
      q->waitLevels.pop_back();
      ensureWakes(q);
    }
  } leave{q};
  QEventLoop loop;
  for (;;) {
    handleSent(q);
    if (take(q, msg, hwnd, filterMin, filterMax, true)) break;
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd || !IsWindow(msg->hwnd)) return 0;
  return callProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int AddThreadMessageFilter(TMessageFilter filter) {
  static std::atomic<int> nextId{1};
  int id = nextId++;
  currentQueue()->filters.emplace_back(id, std::move(filter));
  return id;
}

void RemoveThreadMessageFilter(int id) {
  auto& f = currentQueue()->filters;
  f.erase(std::remove_if(f.begin(), f.end(), [id](const auto& p) { return p.first == id; }), f.end());
}
