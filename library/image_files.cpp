#include "library/image_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "library/file_error.h"

namespace tesvo {
namespace {

// Closes the descriptor on every path out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

constexpr const char* kTemporaryPrefix = ".tesvo-";
constexpr const char* kTemporarySuffix = ".tmp";
// Every tag a temporary name is given: the sweep removes these alone.
constexpr const char* kTemporaryTags[] = {".dat", ".pix", ".link", ".png"};

// This machine's name as it goes into temporary names: letters, digits and
// '-' only, at most 32 of them. A folder shared over the network may hold the
// temporaries of processes on other machines, which this one cannot see.
const std::string& HostTag() {
  static const std::string tag = [] {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::string("unknown");
    std::string host;
    for (const char* c = name; *c != '\0' && host.size() < 32; ++c) {
      const bool kept = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
      host += kept ? *c : '-';
    }
    return host;
  }();
  return tag;
}

// The start of the temporary names of this machine, up to the process id.
std::string TemporaryStart() { return kTemporaryPrefix + HostTag() + "-"; }

// In the target's folder, so that the rename stays on one file system, but
// under a short name of its own: a target whose name is near the file
// system's length limit leaves no room for a suffix on that name. The
// machine and process in it tell the start-up sweep whose file it is.
std::string TemporaryName(const std::string& file, const std::string& tag) {
  const std::filesystem::path path(file);
  const std::string leaf = TemporaryStart() + std::to_string(::getpid()) + tag + kTemporarySuffix;
  return (path.parent_path() / leaf).string();
}

// Opens an existing file for reading without ever blocking: a named pipe
// would wait in open() for a writer. Anything but a regular file is refused
// with FileError; a missing file gives -1 with errno ENOENT.
int OpenRegularFile(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return -1;
    throw FileError(FileStep::kRead, file, errno);
  }
  struct stat info;
  int error = 0;
  if (::fstat(fd, &info) != 0)
    error = errno;
  else if (!S_ISREG(info.st_mode))
    error = S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFile;
  if (error != 0) {
    ::close(fd);
    throw FileError(FileStep::kRead, file, error);
  }
  return fd;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Returns the number of bytes read before end of file.
std::size_t ReadUpTo(int fd, std::uint8_t* data, std::size_t size, bool& failed) {
  std::size_t total = 0;
  failed = false;
  while (total < size) {
    const ssize_t got = ::read(fd, data + total, size - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

// Writes a complete file under a temporary name and returns that name.
std::string WriteTemporary(const std::string& file, const std::string& tag,
                           const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = TemporaryName(file, tag);
  // Left by an earlier process with the same id, or put there by someone
  // else: a named pipe would block the open, so the name is made new.
  if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) throw FileError(FileStep::kWrite, file, errno);
  Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (fd.get() < 0) throw FileError(FileStep::kWrite, file, errno);
  if (!WriteAll(fd.get(), bytes.data(), bytes.size()) || ::fsync(fd.get()) != 0 ||
      ::close(fd.Release()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error);
  }
  return temporary;
}

void MoveIntoPlace(const std::string& temporary, const std::string& file) {
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error == ENOENT ? kTemporaryGone : error);
  }
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& file) {
  Descriptor fd(OpenRegularFile(file));
  if (fd.get() < 0) throw FileError(FileStep::kRead, file, ENOENT);
  std::vector<std::uint8_t> bytes;
  std::uint8_t block[65536];
  for (;;) {
    bool failed = false;
    const std::size_t got = ReadUpTo(fd.get(), block, sizeof block, failed);
    if (failed) throw FileError(FileStep::kRead, file, errno);
    bytes.insert(bytes.end(), block, block + got);
    if (got < sizeof block) return bytes;
  }
}

// The process of a temporary name of this machine, or 0 when the name is not
// one of these.
pid_t TemporaryOwner(const std::string& leaf) {
  const std::string start = TemporaryStart();
  if (!leaf.starts_with(start)) return 0;
  pid_t pid = 0;
  std::size_t i = start.size();
  for (; i < leaf.size() && leaf[i] >= '0' && leaf[i] <= '9' && pid < 100000000; ++i)
    pid = pid * 10 + (leaf[i] - '0');
  if (i == start.size()) return 0;
  const std::string rest = leaf.substr(i);
  for (const char* tag : kTemporaryTags)
    if (rest == tag + std::string(kTemporarySuffix)) return pid;
  return 0;
}

std::vector<std::uint8_t> PixelBytes(const std::int16_t* counts, std::size_t countCount) {
  std::vector<std::uint8_t> pixels(2 * countCount);
  for (std::size_t i = 0; i < countCount; ++i) {
    const auto value = static_cast<std::uint16_t>(counts[i]);
    pixels[2 * i] = static_cast<std::uint8_t>(value);
    pixels[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return pixels;
}

}  // namespace

std::string ParameterFileName(const std::string& base) { return base + ".dat"; }
std::string PixelFileName(const std::string& base) { return base + ".pix"; }

bool ParameterFileExists(const std::string& base) {
  struct stat info;
  return ::stat(ParameterFileName(base).c_str(), &info) == 0;
}

StagedFile::StagedFile(std::string target, const std::string& tag, const std::vector<std::uint8_t>& bytes)
    : target_(std::move(target)), temporary_(WriteTemporary(target_, tag, bytes)) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::exchange(other.temporary_, {})) {}

StagedFile::~StagedFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void StagedFile::Commit() { MoveIntoPlace(std::exchange(temporary_, {}), target_); }

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record) {
  const RecordBytes bytes = ToBytes(record);
  return StagedFile(ParameterFileName(base), ".dat", {bytes.begin(), bytes.end()});
}

StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount) {
  return StagedFile(PixelFileName(base), ".pix", PixelBytes(counts, countCount));
}

void WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount) {
  StagedFile pixels = StagePixelFile(base, counts, countCount);
  StagedFile parameters = StageParameterFile(base, record);
  // The pixel file goes first: a new .pix beside no .dat is harmless, whereas
  // a new .dat beside an old .pix would show another image's counts.
  pixels.Commit();
  parameters.Commit();
  SyncFolderOf(ParameterFileName(base));
}

void WritePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount) {
  WriteFileAtomically(PixelFileName(base), PixelBytes(counts, countCount));
}

void WriteFileAtomically(const std::string& file, const std::vector<std::uint8_t>& bytes) {
  StagedFile(file, std::filesystem::path(file).extension().string(), bytes).Commit();
  SyncFolderOf(file);
}

std::vector<std::uint8_t> ReadFileStart(const std::string& file, std::size_t size) {
  Descriptor fd(OpenRegularFile(file));
  if (fd.get() < 0) throw FileError(FileStep::kRead, file, ENOENT);
  std::vector<std::uint8_t> bytes(size);
  bool failed = false;
  bytes.resize(ReadUpTo(fd.get(), bytes.data(), bytes.size(), failed));
  if (failed) throw FileError(FileStep::kRead, file, errno);
  return bytes;
}

ImageRecord ReadParameterFile(const std::string& base) {
  const std::string file = ParameterFileName(base);
  // Whatever follows the record is not read, as it never was.
  const std::vector<std::uint8_t> start = ReadFileStart(file, kRecordSize);
  if (start.size() != kRecordSize) throw FileError(FileStep::kRead, file, kWrongSize);
  RecordBytes bytes{};
  std::copy(start.begin(), start.end(), bytes.begin());
  return FromBytes(bytes);
}

PixelFileState ReadPixelFile(const std::string& base, std::int16_t* counts, std::size_t countCount) {
  const std::string file = PixelFileName(base);
  Descriptor fd(OpenRegularFile(file));
  if (fd.get() < 0) return PixelFileState::kMissing;
  std::vector<std::uint8_t> bytes(2 * countCount);
  bool failed = false;
  const std::size_t got = ReadUpTo(fd.get(), bytes.data(), bytes.size(), failed);
  if (failed) throw FileError(FileStep::kRead, file, errno);
  if (got != bytes.size()) return PixelFileState::kShort;
  for (std::size_t i = 0; i < countCount; ++i)
    counts[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
  return PixelFileState::kRead;
}

void RemoveIfPresent(const std::string& file) {
  if (::unlink(file.c_str()) != 0 && errno != ENOENT) throw FileError(FileStep::kRemove, file, errno);
}

bool ReplaceWithCopyOf(const std::string& from, const std::string& to) {
  struct stat info;
  if (::lstat(from.c_str(), &info) != 0) {
    if (errno == ENOENT) return false;
    throw FileError(FileStep::kCopy, from, errno, to);
  }
  std::string temporary = TemporaryName(to, ".link");
  ::unlink(temporary.c_str());  // left by a process of ours with the same id
  if (::link(from.c_str(), temporary.c_str()) != 0) {
    const int error = errno;
    // File systems without hard links get a copy.
    if (error != EPERM && error != EOPNOTSUPP && error != EXDEV && error != EMLINK && error != ENOSYS)
      throw FileError(FileStep::kCopy, from, error, to);
    temporary = WriteTemporary(to, ".link", ReadWholeFile(from));
  }
  const bool renamed = ::rename(temporary.c_str(), to.c_str()) == 0;
  const int error = errno;
  // Where `to` was already a link of `from`, rename leaves both names.
  ::unlink(temporary.c_str());
  if (!renamed) throw FileError(FileStep::kCopy, from, error, to);
  return true;
}

void SyncFolderOf(const std::string& file) {
  const std::string parent = std::filesystem::path(file).parent_path().string();
  const std::string folder = parent.empty() ? std::string(".") : parent;
  // What was written is already safe in its files; a folder that cannot be
  // synchronised (some file systems refuse) only loses the renames' order on
  // a power cut, so it is no error.
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

int SweepTemporaryFiles(const std::string& folder) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const pid_t owner = TemporaryOwner(it->path().filename().string());
    if (owner <= 0 || owner == ::getpid()) continue;
    // A process that still runs, or one we may not signal, keeps its files.
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
    std::error_code statusError;
    if (!it->is_regular_file(statusError) || it->is_symlink(statusError)) continue;
    if (::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace tesvo
