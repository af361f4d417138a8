// A file step that failed. The command that met it ends there and the user is
// told which file and which step, in one message box (commands/ words it).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace tesvo {

inline constexpr const char* kProgramName = "Tesvo";

// kLock: taking the folder's lock, whose file is the folder's name.
enum class FileStep { kRead, kWrite, kRemove, kCopy, kUseFolder, kLock };

// The reason of a FileError that no system call gave: the file is too short.
inline constexpr int kWrongSize = 0;
// A named pipe, a device or a socket where a file was expected.
inline constexpr int kNotRegularFile = -1;
// The temporary file of a write, or the folder it was in, went before the
// rename that would have put it in place.
inline constexpr int kTemporaryGone = -2;
// A whole disk (a block device) where a file was expected.
inline constexpr int kWholeDisk = -5;
// Another process kept the folder's lock for longer than a change waits.
inline constexpr int kFolderBusy = -3;
// A folder that exists but where no file can be made (/proc, /sys).
inline constexpr int kNoFilesHere = -4;

class FileError : public std::runtime_error {
 public:
  FileError(FileStep step, std::string file, int systemError, std::string target = {});

  FileStep step() const { return step_; }
  const std::string& file() const { return file_; }
  int systemError() const { return systemError_; }
  // The new name of a copy; empty for the other steps.
  const std::string& target() const { return target_; }

 private:
  FileStep step_;
  std::string file_;
  int systemError_;
  std::string target_;
};

}  // namespace tesvo
