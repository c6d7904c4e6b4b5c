// Per-thread message queues, the pump, window timers.
#include "platform/posix/Internal.h"

#include "platform/Observe.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace win32 {

namespace {

thread_local std::shared_ptr<ThreadQueue> tlsQueue;

bool inRange(UINT message, UINT filterMin, UINT filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

bool matchesWindow(HWND msgWindow, HWND filter) { return filter == nullptr || msgWindow == filter; }

DWORD messageTime() { return static_cast<DWORD>(os::monotonicMs()); }

// Lets the thread's event sources post what became ready. With waitMs 0 this
// only looks; otherwise it blocks until something is ready, the queue is woken
// or waitMs passes (-1 = no limit).
void pumpSources(ThreadQueue& q, int waitMs) {
  thread_local std::vector<os::PollItem> items;
  thread_local std::vector<std::size_t> firstItem;
  items.clear();
  firstItem.clear();
  items.push_back(os::PollItem{q.waker.fd(), os::kPollIn, 0});
  // Sources may unregister themselves while dispatching; work on a copy.
  std::vector<EventSource*> sources = q.sources;
  for (EventSource* s : sources) {
    firstItem.push_back(items.size());
    const int hint = s->prepare(items);
    if (hint >= 0 && (waitMs < 0 || hint < waitMs)) waitMs = hint;
  }
  if (waitMs == 0 && sources.empty()) return;  // nothing to look at
  os::poll(items.data(), items.size(), waitMs);
  if (items[0].revents & os::kPollIn) q.waker.drain();
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (std::find(q.sources.begin(), q.sources.end(), sources[i]) == q.sources.end()) continue;
    const std::size_t begin = firstItem[i];
    const std::size_t end = i + 1 < sources.size() ? firstItem[i + 1] : items.size();
    sources[i]->dispatch(items.data() + begin, end - begin);
  }
}

// Takes the next message in Windows order, without waiting.
bool retrieve(ThreadQueue& q, MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
  std::function<void()> onRetrieve;
  bool found = false;
  {
    std::lock_guard lock(q.mutex);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
      if (!matchesWindow(it->msg.hwnd, filter) || !inRange(it->msg.message, filterMin, filterMax)) continue;
      *out = it->msg;
      if (remove) {
        onRetrieve = std::move(it->onRetrieve);
        q.posted.erase(it);
      }
      found = true;
      break;
    }
    if (!found && q.quitPending && filter == nullptr && inRange(WM_QUIT, filterMin, filterMax)) {
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, messageTime(), {0, 0}};
      if (remove) q.quitPending = false;
      return true;
    }
  }
  if (found) {
    // Outside the lock: the action may post.
    if (onRetrieve) onRetrieve();
    return true;
  }
  if (inRange(WM_PAINT, filterMin, filterMax)) {
    if (HWND hwnd = windowNeedingPaint(q, filter)) {
      *out = MSG{hwnd, WM_PAINT, 0, 0, messageTime(), {0, 0}};
      return true;
    }
  }
  if (inRange(WM_TIMER, filterMin, filterMax)) {
    const std::int64_t now = os::monotonicMs();
    Timer* next = nullptr;
    for (Timer& t : q.timers) {
      if (t.due <= now && matchesWindow(t.hwnd, filter) && (!next || t.due < next->due)) next = &t;
    }
    if (next) {
      *out = MSG{next->hwnd, WM_TIMER, next->id, reinterpret_cast<LPARAM>(next->proc),
                 static_cast<DWORD>(now), {0, 0}};
      // The next tick counts from this retrieval, so a timer never has more
      // than one WM_TIMER waiting however long the thread was busy.
      if (remove) {
        next->due = now + next->interval;
        observe::recordTimerTick(reinterpret_cast<std::uintptr_t>(next->hwnd), next->id, next->interval, now,
                                 next->armed);
      }
      return true;
    }
  }
  return false;
}

// Milliseconds until the next timer of the thread is due (-1 = none).
int msUntilNextTimer(const ThreadQueue& q) {
  if (q.timers.empty()) return -1;
  const std::int64_t now = os::monotonicMs();
  std::int64_t best = LLONG_MAX;
  for (const Timer& t : q.timers) best = std::min(best, t.due - now);
  if (best <= 0) return 0;
  return best > INT_MAX ? INT_MAX : static_cast<int>(best);
}

bool anyRetrievable(ThreadQueue& q) {
  MSG msg;
  return retrieve(q, &msg, nullptr, 0, 0, false);
}

// Blocks until a message is retrievable.
void waitForMessage(ThreadQueue& q) {
  for (;;) {
    pumpSources(q, 0);
    if (anyRetrievable(q)) return;
    pumpSources(q, msUntilNextTimer(q));
    if (anyRetrievable(q)) return;
  }
}

}  // namespace

std::shared_ptr<ThreadQueue> currentQueue() {
  if (!tlsQueue) tlsQueue = std::make_shared<ThreadQueue>();
  return tlsQueue;
}

bool postQueued(HWND hwnd, QueuedMessage message) {
  std::shared_ptr<ThreadQueue> q;
  if (hwnd == nullptr) {
    q = currentQueue();
  } else {
    q = queueOfWindow(hwnd);
    if (!q) {
      setLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    }
  }
  message.msg.hwnd = hwnd;
  message.msg.time = messageTime();
  {
    std::lock_guard lock(q->mutex);
    q->posted.push_back(std::move(message));
  }
  if (q != tlsQueue) q->waker.wake();
  return true;
}

void forgetWindowMessages(Window& window) {
  HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(window.id));
  ThreadQueue& q = *window.queue;
  {
    std::lock_guard lock(q.mutex);
    std::erase_if(q.posted, [hwnd](const QueuedMessage& m) { return m.msg.hwnd == hwnd; });
  }
  std::erase_if(q.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

void addEventSource(EventSource* source) {
  auto q = currentQueue();
  if (std::find(q->sources.begin(), q->sources.end(), source) == q->sources.end()) q->sources.push_back(source);
}

void removeEventSource(EventSource* source) {
  auto q = currentQueue();
  std::erase(q->sources, source);
}

}  // namespace win32

using namespace win32;

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  QueuedMessage m;
  m.msg = MSG{hwnd, msg, wParam, lParam, 0, {0, 0}};
  return postQueued(hwnd, std::move(m)) ? TRUE : FALSE;
}

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
  // One number per name, whatever its case, from the range Windows gives
  // registered messages.
  static std::mutex mutex;
  static std::vector<std::string> registered;
  if (!name || !*name) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::lock_guard lock(mutex);
  auto it = std::find(registered.begin(), registered.end(), key);
  if (it == registered.end()) it = registered.insert(registered.end(), key);
  return static_cast<UINT>(0xC000 + (it - registered.begin()));
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = findWindow(hwnd);
  if (!w || !w->proc) {
    setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return w->proc(hwnd, msg, wParam, lParam);
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  auto q = currentQueue();
  pumpSources(*q, 0);
  return retrieve(*q, msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  auto q = currentQueue();
  for (;;) {
    pumpSources(*q, 0);
    if (retrieve(*q, msg, hwnd, filterMin, filterMax, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    pumpSources(*q, msUntilNextTimer(*q));
    if (retrieve(*q, msg, hwnd, filterMin, filterMax, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
  }
}

BOOL WINAPI WaitMessage() {
  waitForMessage(*currentQueue());
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  if (msg->hwnd == nullptr) return 0;
  Window* w = findWindow(msg->hwnd);
  if (!w || !w->proc) return 0;
  return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  auto q = currentQueue();
  std::lock_guard lock(q->mutex);
  q->quitPending = true;
  q->quitCode = exitCode;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  std::shared_ptr<ThreadQueue> q;
  if (hwnd) {
    Window* w = findWindow(hwnd);
    if (!w) {
      setLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    q = w->queue;
    if (q != currentQueue()) {
      setLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  } else {
    q = currentQueue();
    id = ++q->nextThreadTimerId;
  }
  // Windows raises periods below its minimum to 10 ms and caps huge ones.
  if (elapseMs < 10) elapseMs = 10;
  if (elapseMs > 0x7FFFFFFF) elapseMs = 0x7FFFFFFF;
  const std::int64_t now = os::monotonicMs();
  const std::int64_t due = now + elapseMs;
  for (Timer& t : q->timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.interval = elapseMs;
      t.proc = proc;
      t.due = due;
      t.armed = now;
      return hwnd ? id : t.id;
    }
  }
  q->timers.push_back(Timer{hwnd, id, elapseMs, proc, due, now});
  return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
  auto q = currentQueue();
  const auto before = q->timers.size();
  std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  return q->timers.size() != before ? TRUE : FALSE;
}
