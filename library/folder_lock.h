// Several Tesvo processes may work in one folder (a second window, a folder
// shared between machines). The changes they make to its names are taken in
// turn through an advisory lock on a file in that folder, held for the few
// file steps of one change and never while a dialog waits for the user.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace tesvo {

// The lock file, in the folder of the images. It is never removed: a process
// waiting on the old file while another makes a new one would not exclude it.
inline constexpr const char* kLockFileName = ".tesvo.lock";

// How long a change waits for another process before it gives up with
// FileError (FileStep::kLock) and changes nothing. Tests shorten it.
extern std::chrono::milliseconds folderLockWait;

// A folder's lock file that cannot be used: the folder, and the error of its
// open or its kind (ELOOP, EISDIR, kNotRegularFile, EACCES ...).
struct LockNotice {
  std::string folder;
  int error = 0;
};

// What is wrong with a folder's lock file, once per folder for the life of
// the process; commands tell the user after their work.
std::optional<LockNotice> TakeLockNotice();

class FolderLock {
 public:
  enum class Mode { kShared, kExclusive };

  // Locks the folder of `file`: shared for reading a pair, exclusive for
  // changing names. Where the lock file cannot be used (a folder, a pipe or
  // a link under its name, or one that cannot be opened) or cannot be made
  // (a read-only folder), the folder itself is locked, the first in a notice
  // for the user. A missing folder or a file system without locks is not
  // locked: the change then fails on its own, or the steps that never
  // replace a file keep two processes apart. Throws FileError when another
  // process holds the lock for longer than folderLockWait.
  FolderLock(const std::string& file, Mode mode);
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

  // Whether the folder is locked, as opposed to going without a lock.
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace tesvo
