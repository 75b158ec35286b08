// Posted and sent messages, thread queues and the message loop stage.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#include "tests/platform/winapi/WinTestUtil.h"
#include "tests/support/TestSupport.h"

using namespace wintest;

namespace {

std::vector<WPARAM> Params(const Spy& spy, UINT msg) {
  std::vector<WPARAM> out;
  for (const auto& m : spy.Of({msg})) out.push_back(m.WParam);
  return out;
}

TEST(MessageQueue, PostedMessagesArriveInOrderAfterTheCurrentWork) {
  HWND h = PlainWindow("Posted");
  Spy spy(h, [&](TMessage& m) {
    // A message posted while handling one comes after those already queued.
    if (m.Msg == WM_USER && m.WParam == 1) PostMessageW(h, WM_USER, 99, 0);
    return false;
  });
  for (WPARAM i = 1; i <= 5; ++i) EXPECT_TRUE(PostMessageW(h, WM_USER, i, 0));
  EXPECT_EQ(spy.Count(WM_USER), 0);  // not before the event loop runs
  ASSERT_TRUE(testsupport::waitFor([&] { return spy.Count(WM_USER) == 6; }));
  EXPECT_EQ(Params(spy, WM_USER), (std::vector<WPARAM>{1, 2, 3, 4, 5, 99}));
  DestroyWindow(h);
}

TEST(MessageQueue, PostsFromAWorkerThreadKeepTheirOrder) {
  HWND h = PlainWindow("Posted");
  Spy spy(h);
  std::unique_ptr<QThread> worker(QThread::create([h] {
    for (WPARAM i = 0; i < 200; ++i) PostMessageW(h, WM_USER + 1, i, 0);
  }));
  worker->start();
  for (WPARAM i = 0; i < 50; ++i) PostMessageW(h, WM_USER + 2, i, 0);
  ASSERT_TRUE(
      testsupport::waitFor([&] { return spy.Count(WM_USER + 1) == 200 && spy.Count(WM_USER + 2) == 50; }));
  worker->wait();
  auto fromWorker = Params(spy, WM_USER + 1);
  auto fromMain = Params(spy, WM_USER + 2);
  EXPECT_TRUE(std::is_sorted(fromWorker.begin(), fromWorker.end()));
  EXPECT_TRUE(std::is_sorted(fromMain.begin(), fromMain.end()));
  DestroyWindow(h);
}

TEST(MessageQueue, MessagesForADestroyedWindowAreDropped) {
  int seen = 0;
  std::vector<UINT> filtered;
  int filter = AddThreadMessageFilter([&](MSG& m) {
    if (m.message >= WM_USER) filtered.push_back(m.message);
    return false;
  });
  HWND h = PlainWindow("Gone");
  Spy spy(h, [&](TMessage& m) {
    if (m.Msg == WM_USER + 3) ++seen;
    return false;
  });
  PostMessageW(h, WM_USER + 3, 0, 0);
  DestroyWindow(h);
  HWND other = PlainWindow("Other");  // never the same handle again
  EXPECT_NE(other, h);
  EXPECT_FALSE(PostMessageW(h, WM_USER + 3, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  PostMessageW(other, WM_USER + 4, 0, 0);
  ASSERT_TRUE(testsupport::waitFor([&] { return !filtered.empty(); }));
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(filtered, (std::vector<UINT>{WM_USER + 4}));  // not even the loop saw the dropped one
  RemoveThreadMessageFilter(filter);
  DestroyWindow(other);
}

TEST(MessageQueue, PeekMessageTakesThreadMessagesByFilter) {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  HWND h = PlainWindow("Peek");
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 11, 12));
  ASSERT_TRUE(PostMessageW(h, WM_USER + 2, 21, 0));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 3, 31, 0));

  EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_USER + 3, WM_USER + 3, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 31u);
  EXPECT_TRUE(PeekMessageW(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));  // thread messages only
  EXPECT_EQ(m.message, WM_USER + 1);
  EXPECT_EQ(m.lParam, 12);
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_TRUE(PeekMessageW(&m, h, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 2);
  EXPECT_EQ(m.hwnd, h);
  EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 3);
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));

  // Taken messages are not delivered again by the event loop.
  Spy spy(h);
  QCoreApplication::processEvents();
  EXPECT_EQ(spy.Count(WM_USER + 2), 0);

  EXPECT_FALSE(PostThreadMessageW(0x7FFFFFF0, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  DestroyWindow(h);
}

TEST(MessageQueue, AGetMessageLoopWaitsForItsCompletionMessage) {
  // The parser's loop: dispatch everything until a thread message arrives
  // that something posts later from within the event loop.
  HWND h = PlainWindow("Loop");
  Spy spy(h);
  PostMessageW(h, WM_USER + 5, 1, 0);
  QTimer::singleShot(20, [] { PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 0, 0); });
  QTimer::singleShot(5, [h] { PostMessageW(h, WM_USER + 5, 2, 0); });
  bool completed = false;
  MSG m;
  while (!completed) {
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    if (m.message == WM_USER + 1 && !m.hwnd)
      completed = true;
    else
      DispatchMessageW(&m);
  }
  EXPECT_EQ(Params(spy, WM_USER + 5), (std::vector<WPARAM>{1, 2}));

  // WM_QUIT ends such a loop.
  PostQuitMessage(3);
  EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
  EXPECT_EQ(m.wParam, 3u);

  // Messages left by a filtered GetMessage are delivered afterwards.
  PostMessageW(h, WM_USER + 6, 0, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_USER + 7, 0, 0);
  ASSERT_TRUE(GetMessageW(&m, nullptr, WM_USER + 7, WM_USER + 7));
  EXPECT_EQ(m.message, WM_USER + 7);
  ASSERT_TRUE(testsupport::waitFor([&] { return spy.Count(WM_USER + 6) == 1; }));
  DestroyWindow(h);
}

TEST(MessageQueue, ThreadFiltersSeeTheLoopsMessagesInOrder) {
  HWND h = PlainWindow("Filtered");
  Spy spy(h);
  std::vector<std::string> log;
  int first = AddThreadMessageFilter([&](MSG& m) {
    if (m.message < WM_USER) return false;
    log.push_back("first " + std::to_string(m.message - WM_USER));
    return m.message == WM_USER + 1;  // handled here
  });
  int second = AddThreadMessageFilter([&](MSG& m) {
    if (m.message < WM_USER) return false;
    log.push_back("second " + std::to_string(m.message - WM_USER));
    if (m.message == WM_USER + 2) m.wParam = 77;  // may change what is dispatched
    return false;
  });
  PostMessageW(h, WM_USER + 1, 0, 0);
  PostMessageW(h, WM_USER + 2, 0, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_USER + 3, 0, 0);  // nobody takes it: dropped
  ASSERT_TRUE(testsupport::waitFor([&] { return log.size() == 5; }));
  EXPECT_EQ(log, (std::vector<std::string>{"first 1", "first 2", "second 2", "first 3", "second 3"}));
  EXPECT_EQ(spy.Count(WM_USER + 1), 0);
  EXPECT_EQ(Params(spy, WM_USER + 2), (std::vector<WPARAM>{77}));
  RemoveThreadMessageFilter(first);
  RemoveThreadMessageFilter(second);
  // Sent messages do not pass the message loop.
  log.clear();
  SendMessageW(h, WM_USER + 1, 0, 0);
  EXPECT_TRUE(log.empty());
  DestroyWindow(h);
}

TEST(MessageQueue, SendMessageFromAWorkerRunsOnTheWindowsThread) {
  HWND h = PlainWindow("Sent");
  QThread* procThread = nullptr;
  Spy spy(h, [&](TMessage& m) {
    if (m.Msg != WM_USER) return false;
    procThread = QThread::currentThread();
    m.Result = LRESULT(m.WParam) + 1;
    return true;
  });
  std::atomic<LRESULT> answer{0};
  std::unique_ptr<QThread> worker(QThread::create([&] { answer = SendMessageW(h, WM_USER, 41, 0); }));
  worker->start();
  ASSERT_TRUE(testsupport::waitFor([&] { return worker->isFinished(); }));
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(procThread, QThread::currentThread());
  DestroyWindow(h);
}

TEST(MessageQueue, SendsBetweenThreadsDoNotDeadlock) {
  // The main thread sends to a worker's window; while handling it, the
  // worker sends back to a main-thread window. Each waiting thread answers
  // what is sent to it.
  HWND mainWindow = PlainWindow("Main");
  Spy mainSpy(mainWindow, [](TMessage& m) {
    if (m.Msg != WM_USER) return false;
    m.Result = 1000;
    return true;
  });
  std::atomic<HWND> workerWindow{nullptr};
  std::atomic<bool> stop{false};
  std::unique_ptr<QThread> worker(QThread::create([&] {
    HWND w = CreateWindowHandle("Worker", "", WS_OVERLAPPED, 0, nullptr, nullptr);
    Spy spy(w, [&](TMessage& m) {
      if (m.Msg == WM_USER + 1) {
        m.Result = SendMessageW(mainWindow, WM_USER, 0, 0) + LRESULT(m.WParam);
        return true;
      }
      if (m.Msg == WM_USER + 2) stop = true;
      return false;
    });
    workerWindow = w;
    MSG m;
    while (!stop && GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
    DestroyWindow(w);
  }));
  worker->start();
  ASSERT_TRUE(testsupport::waitFor([&] { return workerWindow.load() != nullptr; }));
  EXPECT_NE(GetWindowThreadProcessId(workerWindow, nullptr), GetCurrentThreadId());
  EXPECT_EQ(SendMessageW(workerWindow, WM_USER + 1, 7, 0), 1007);
  PostMessageW(workerWindow, WM_USER + 2, 0, 0);
  EXPECT_TRUE(worker->wait(5000));
  EXPECT_FALSE(IsWindow(workerWindow));
  DestroyWindow(mainWindow);
}

}  // namespace
