// The system calls by which the file layer changes what is on disk, every one
// of them made here. Each reports itself to afterFileChange once it has
// succeeded: the program never sets the hook; tests do, to stop the process
// after any one change and look at what a crash there leaves.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvo {

enum class FileChange { kCreate, kWrite, kFlush, kLink, kRename, kRemove, kFlushFolder };

// `path` is the file changed; `target` the new name of a link or a rename,
// null for the other changes.
using FileChangeHook = void (*)(FileChange change, const char* path, const char* target);
extern FileChangeHook afterFileChange;

namespace file_calls {

// Each returns what its system call returns: -1 with errno on failure.

// A new file for writing, never an existing one nor through a link.
int CreateNew(const char* path);
// Writes every byte, going on after interruptions; false with errno.
bool WriteAll(int fd, const char* path, const std::uint8_t* data, std::size_t size);
int Flush(int fd, const char* path);
// Flushes the entries of a folder opened read-only.
int FlushFolder(int fd, const char* path);
int Link(const char* from, const char* to);
// Every rename of the file layer. With noReplace it fails with EEXIST where
// `to` exists, in one step; file systems without that step fail with EINVAL.
int Rename(const char* from, const char* to, bool noReplace = false);
int Remove(const char* path);

}  // namespace file_calls
}  // namespace tesvo
