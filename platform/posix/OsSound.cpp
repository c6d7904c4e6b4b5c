// The desktop's event sounds through libcanberra, played on a worker thread.
#include "platform/posix/OsDisplay.h"

#include <canberra.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace os::display {

namespace {

// Lives as long as the process (never freed: the detached thread may still
// use it while the process ends).
struct SoundWorker {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::string> pending;

  SoundWorker() { std::thread([this] { run(); }).detach(); }

  // Through the desktop's sound server only: straight to ALSA, a machine
  // without a sound card would have the sound library complain on the
  // program's error output.
  static bool open(ca_context*& context) {
    if (ca_context_create(&context) != CA_SUCCESS) return false;
    return ca_context_set_driver(context, "pulse") == CA_SUCCESS;
  }

  void run() {
    ca_context* context = nullptr;
    bool usable = open(context);
    for (;;) {
      std::string name;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return !pending.empty(); });
        name = std::move(pending.front());
        pending.pop_front();
      }
      // Any failure (no sound server, no device, no such sound) leaves the
      // program as it was; the context is tried again for the next sound.
      if (usable && ca_context_play(context, 0, CA_PROP_EVENT_ID, name.c_str(), CA_PROP_EVENT_DESCRIPTION,
                                    "Information", nullptr) < 0) {
        ca_context_destroy(context);
        context = nullptr;
        usable = open(context);
      }
    }
  }
};

}  // namespace

void playSound(const char* name) {
  if (!isOpen() || !name) return;
  static SoundWorker* worker = new SoundWorker;
  {
    std::lock_guard lock(worker->mutex);
    if (worker->pending.size() < 8) worker->pending.emplace_back(name);
  }
  worker->wake.notify_one();
}

}  // namespace os::display
