#include "engine/helper_threads.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace tesvo {
namespace {

// One per process and never destroyed: a helper may still be finishing a
// task while the program exits, and detached threads need nothing joined.
class Helpers {
 public:
  static Helpers& Instance() {
    static Helpers* const helpers = new Helpers;
    return *helpers;
  }

  void Ask(std::shared_ptr<HelperTask> task, int helpers) {
    {
      const std::lock_guard lock(mutex_);
      requests_.push_back({std::move(task), helpers});
      // Without a new thread the task is done with fewer helpers.
      try {
        for (; threads_ < helpers; ++threads_) std::thread([this] { Serve(); }).detach();
      } catch (const std::system_error&) {
      }
    }
    for (int i = 0; i < helpers; ++i) wake_.notify_one();
  }

  void Withdraw(const HelperTask* task) {
    const std::lock_guard lock(mutex_);
    std::erase_if(requests_, [task](const Request& r) { return r.task.get() == task; });
  }

 private:
  struct Request {
    std::shared_ptr<HelperTask> task;
    int places;
  };

  Helpers() {
    // A child of fork() has none of the threads: it starts again from none,
    // with the lock free, and counts on its calling thread until it asks.
    pthread_atfork([] { Instance().mutex_.lock(); }, [] { Instance().mutex_.unlock(); },
                   [] {
                     Helpers& h = Instance();
                     h.threads_ = 0;
                     h.requests_.clear();
                     h.mutex_.unlock();
                   });
  }

  void Serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !requests_.empty(); });
      std::shared_ptr<HelperTask> task = requests_.front().task;
      if (--requests_.front().places == 0) requests_.pop_front();
      lock.unlock();
      task->Help();
      task.reset();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Request> requests_;
  int threads_ = 0;
};

// A whole number from 1 to kMostThreads filling the text, or 0.
int ParseThreads(std::string_view text) {
  int n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc{} || end != text.data() + text.size() || n < 1 || n > kMostThreads) return 0;
  return n;
}

int AvailableCores() {
  cpu_set_t cores;
  if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0) return CPU_COUNT(&cores);
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace

void AskForHelp(std::shared_ptr<HelperTask> task, int helpers) {
  if (helpers > 0) Helpers::Instance().Ask(std::move(task), helpers);
}

void WithdrawHelp(const HelperTask* task) { Helpers::Instance().Withdraw(task); }

int ThreadsFromEnvironment(const char* tesvoThreads, const char* ompThreads, int cores) {
  if (tesvoThreads != nullptr) {
    if (const int n = ParseThreads(tesvoThreads)) return n;
  }
  if (ompThreads != nullptr) {
    // OpenMP's form is a list, one number per level of nesting.
    const std::string_view list(ompThreads);
    if (const int n = ParseThreads(list.substr(0, list.find(',')))) return n;
  }
  return std::clamp(cores, 1, kMostThreads);
}

int DefaultThreads() {
  static const int threads =
      ThreadsFromEnvironment(std::getenv("TESVO_THREADS"), std::getenv("OMP_NUM_THREADS"), AvailableCores());
  return threads;
}

}  // namespace tesvo
