// Threads that help a calling thread with its task and sleep between tasks,
// and how many threads the engine uses unless told otherwise.
#pragma once

#include <memory>

namespace tesvo {

// Work that a calling thread does itself and that helpers may share.
class HelperTask {
 public:
  virtual ~HelperTask() = default;
  // Runs on a helper thread; returns when nothing is left to help with.
  virtual void Help() = 0;
};

// Lets up to `helpers` sleeping threads run task->Help(), creating threads
// the first time so many are asked for. The calling thread never waits for
// them: a task must be able to finish without any help at all. A helper may
// still be in Help() after the caller is done; the task lives until it returns.
void AskForHelp(std::shared_ptr<HelperTask> task, int helpers);

// No thread starts on the task after this; those that have started go on.
void WithdrawHelp(const HelperTask* task);

// The threads an image is counted on: TESVO_THREADS if it is a whole number
// from 1 to kMostThreads, else the first number of OMP_NUM_THREADS on the
// same terms, else the cores this process may run on. Read once per process.
int DefaultThreads();

inline constexpr int kMostThreads = 1024;

// DefaultThreads' rule, given the two variables' texts (null when unset).
int ThreadsFromEnvironment(const char* tesvoThreads, const char* ompThreads, int cores);

}  // namespace tesvo
