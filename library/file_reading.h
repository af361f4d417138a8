// Only regular files are read: a named pipe, a device or a socket under the
// name is refused at once with FileError, never waited on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesvo {

// At most the first size bytes of file; nothing when it does not exist.
// Throws FileError when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFileStartIfPresent(const std::string& file, std::size_t size);

// At most the first size bytes of file. Throws FileError when it is missing
// or cannot be read.
std::vector<std::uint8_t> ReadFileStart(const std::string& file, std::size_t size);

// The whole of file. Throws FileError when it is missing or cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& file);

// A regular file read from the start piece by piece, for files too large to
// hold whole. Throws FileError.
class FileReader {
 public:
  explicit FileReader(const std::string& file);
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();
  // Up to size bytes; fewer only at the end of the file.
  std::size_t Read(std::uint8_t* data, std::size_t size);
  // Moves size bytes on; false, without moving, where fewer are left.
  bool Skip(std::uint64_t size);

 private:
  std::string file_;
  int fd_;
};

}  // namespace tesvo
