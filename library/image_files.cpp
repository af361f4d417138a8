#include "library/image_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>
#include <variant>
#include <vector>

#include "library/file_calls.h"
#include "library/file_error.h"
#include "library/folder_lock.h"

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

// The first line of the file when it is a machine id: 32 lower-case
// hexadecimal digits.
std::string ReadMachineId(const char* file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  const bool valid = line.size() == 32 && std::all_of(line.begin(), line.end(), [](char c) {
                       return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                     });
  return valid ? line : std::string();
}

const std::string& OwnIdentity() {
  static const std::string identity = [] {
    std::string machineId = ReadMachineId("/etc/machine-id");
    if (machineId.empty()) machineId = ReadMachineId("/var/lib/dbus/machine-id");
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    return MachineIdentity(machineId, host);
  }();
  return identity;
}

// The start of the temporary names of this machine, up to the process id.
std::string TemporaryStart(const std::string& identity) { return kTemporaryPrefix + identity + "-"; }
std::string TemporaryStart() { return TemporaryStart(OwnIdentity()); }

// 16 hexadecimal digits of the 64-bit FNV-1a hash of name.
std::string NameHash(const std::string& name) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
  return text;
}

// In the target's folder, so that the rename stays on one file system, but
// under a short name of its own: a target whose name is near the file
// system's length limit leaves no room for a suffix on that name. The
// machine and process in it tell the start-up sweep whose file it is; the
// hash of the target's name keeps apart the files one process writes at once.
std::string TemporaryName(const std::string& file, const std::string& tag) {
  const std::filesystem::path path(file);
  const std::string leaf = TemporaryStart() + std::to_string(::getpid()) + "-" +
                           NameHash(path.filename().string()) + tag + kTemporarySuffix;
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

// Creates the temporary file of file and returns its descriptor.
int CreateTemporary(const std::string& file, const std::string& temporary) {
  // Left by an earlier process with the same id, or put there by someone
  // else: a named pipe would block the open, so the name is made new.
  if (file_calls::Remove(temporary.c_str()) != 0 && errno != ENOENT)
    throw FileError(FileStep::kWrite, file, errno);
  const int fd = file_calls::CreateNew(temporary.c_str());
  if (fd < 0) {
    const int error = errno;
    // /proc and the like say a new file's name does not exist although its
    // folder does; a folder that was removed has no links left.
    const std::filesystem::path folder = std::filesystem::path(temporary).parent_path();
    struct stat info;
    if (error == ENOENT && ::stat(folder.empty() ? "." : folder.c_str(), &info) == 0 &&
        S_ISDIR(info.st_mode) && info.st_nlink > 0)
      throw FileError(FileStep::kWrite, file, kNoFilesHere);
    throw FileError(FileStep::kWrite, file, error);
  }
  return fd;
}

// Writes a complete file under a temporary name and returns that name.
std::string WriteTemporary(const std::string& file, const std::string& tag,
                           const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = TemporaryName(file, tag);
  Descriptor fd(CreateTemporary(file, temporary));
  if (!file_calls::WriteAll(fd.get(), temporary.c_str(), bytes.data(), bytes.size()) ||
      file_calls::Flush(fd.get(), temporary.c_str()) != 0 || ::close(fd.Release()) != 0) {
    const int error = errno;
    file_calls::Remove(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error);
  }
  return temporary;
}

void MoveIntoPlace(const std::string& temporary, const std::string& file) {
  if (file_calls::Rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    file_calls::Remove(temporary.c_str());
    throw FileError(FileStep::kWrite, file, error == ENOENT ? kTemporaryGone : error);
  }
}

// The errors of a file system that does not offer a kind of step at all.
bool Unsupported(int error) {
  return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM || error == ENOTTY;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return ::lstat(a.c_str(), &first) == 0 && ::lstat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// One try of moving temporary to the free name file: true when moved, false
// when file exists, the error number of any other failure.
using MoveOutcome = std::variant<bool, int>;

MoveOutcome TryMoveIntoFreePlace(const std::string& temporary, const std::string& file, NoReplaceStep step) {
  switch (step) {
    case NoReplaceStep::kRenameNoReplace:
      if (file_calls::Rename(temporary.c_str(), file.c_str(), true) == 0) return true;
      return errno == EEXIST ? MoveOutcome(false) : MoveOutcome(errno);
    case NoReplaceStep::kHardLink:
      if (file_calls::Link(temporary.c_str(), file.c_str()) == 0) {
        file_calls::Remove(temporary.c_str());
        return true;
      }
      // Over NFS a link whose reply was lost is sent again and finds its own
      // file in place.
      if (const int error = errno; error != EEXIST) return error;
      if (!SameFile(temporary, file)) return false;
      file_calls::Remove(temporary.c_str());
      return true;
    case NoReplaceStep::kLookThenRename: {
      // Not one step: only the folder's lock keeps another process out
      // between the look and the rename.
      struct stat info;
      if (::lstat(file.c_str(), &info) == 0) return false;
      if (errno != ENOENT) return errno;
      if (file_calls::Rename(temporary.c_str(), file.c_str()) == 0) return true;
      return errno;
    }
  }
  return EINVAL;
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

// The process of a temporary name of the machine `identity`, or 0 when the
// name is not one of these. Identities hold no '.', and the process id must
// be followed by a tag, at once or after '-' and the hash of the target's
// name, so the name of another machine whose identity begins with this one's
// is never taken for one of its own. Versions before the hash left names
// without it, which are swept all the same.
pid_t TemporaryOwner(const std::string& leaf, const std::string& identity) {
  const std::string start = TemporaryStart(identity);
  if (!leaf.starts_with(start)) return 0;
  pid_t pid = 0;
  std::size_t i = start.size();
  for (; i < leaf.size() && leaf[i] >= '0' && leaf[i] <= '9' && pid < 100000000; ++i)
    pid = pid * 10 + (leaf[i] - '0');
  if (i == start.size()) return 0;
  if (leaf.size() - i > 17 && leaf[i] == '-' &&
      std::all_of(leaf.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                  leaf.begin() + static_cast<std::ptrdiff_t>(i) + 17,
                  [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
    i += 17;
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
  if (!temporary_.empty()) file_calls::Remove(temporary_.c_str());
}

void StagedFile::Commit() { MoveIntoPlace(std::exchange(temporary_, {}), target_); }

StreamedFile::StreamedFile(std::string target, const std::string& tag)
    : target_(std::move(target)), temporary_(TemporaryName(target_, tag)) {
  fd_ = CreateTemporary(target_, temporary_);
}

StreamedFile::~StreamedFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) file_calls::Remove(temporary_.c_str());
}

void StreamedFile::Write(const std::uint8_t* bytes, std::size_t size) {
  if (!file_calls::WriteAll(fd_, temporary_.c_str(), bytes, size))
    throw FileError(FileStep::kWrite, target_, errno);
}

void StreamedFile::Close() {
  const bool flushed = file_calls::Flush(fd_, temporary_.c_str()) == 0;
  const int error = errno;
  const bool closed = ::close(std::exchange(fd_, -1)) == 0;
  if (!flushed || !closed) throw FileError(FileStep::kWrite, target_, flushed ? errno : error);
}

void StreamedFile::Commit() {
  Close();
  MoveIntoPlace(std::exchange(temporary_, {}), target_);
  SyncFolderOf(target_);
}

bool StreamedFile::CommitIfFree() {
  Close();
  const bool moved = MoveIntoFreePlace(std::exchange(temporary_, {}), target_);
  if (moved) SyncFolderOf(target_);
  return moved;
}

bool StagedFile::CommitIfFree() {
  const std::string temporary = std::exchange(temporary_, {});
  return MoveIntoFreePlace(temporary, target_);
}

bool MoveIntoFreePlace(const std::string& temporary, const std::string& file, NoReplaceStep first) {
  int error = 0;
  for (int step = static_cast<int>(first); step <= static_cast<int>(NoReplaceStep::kLookThenRename); ++step) {
    const MoveOutcome outcome = TryMoveIntoFreePlace(temporary, file, static_cast<NoReplaceStep>(step));
    if (const bool* moved = std::get_if<bool>(&outcome)) {
      if (!*moved) file_calls::Remove(temporary.c_str());
      return *moved;
    }
    error = std::get<int>(outcome);
    // A file system without this step tries the next one.
    if (!Unsupported(error)) break;
  }
  file_calls::Remove(temporary.c_str());
  throw FileError(FileStep::kWrite, file, error == ENOENT ? kTemporaryGone : error);
}

StagedFile StageParameterFile(const std::string& base, const ImageRecord& record) {
  const RecordBytes bytes = ToBytes(record);
  return StagedFile(ParameterFileName(base), ".dat", {bytes.begin(), bytes.end()});
}

StagedFile StagePixelFile(const std::string& base, const std::int16_t* counts, std::size_t countCount) {
  return StagedFile(PixelFileName(base), ".pix", PixelBytes(counts, countCount));
}

bool PlacePair(const std::string& base, const ImageRecord& record, StagedFile& pixels,
               PairPlacement placement) {
  if (placement == PairPlacement::kNewName && ParameterFileExists(base)) return false;
  // Staged only now, so that no more than two temporary files ever exist.
  StagedFile parameters = StageParameterFile(base, record);
  // The old pixel file goes before the parameter file changes, so that the
  // pair never shows another image's counts, even for a moment. A new name
  // reports the failure as its pixel file not written.
  const std::string pixelFile = PixelFileName(base);
  if (file_calls::Remove(pixelFile.c_str()) != 0 && errno != ENOENT)
    throw FileError(placement == PairPlacement::kReplace ? FileStep::kRemove : FileStep::kWrite, pixelFile,
                    errno);
  if (placement == PairPlacement::kReplace)
    parameters.Commit();
  else if (!parameters.CommitIfFree())
    return false;
  pixels.Commit();
  return true;
}

bool WritePair(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
               std::size_t countCount) {
  StagedFile pixels = StagePixelFile(base, counts, countCount);
  bool written;
  {
    const FolderLock lock(ParameterFileName(base), FolderLock::Mode::kExclusive);
    written = PlacePair(base, record, pixels, PairPlacement::kNewName);
  }
  if (written) SyncFolderOf(ParameterFileName(base));
  return written;
}

bool WritePixelFileOf(const std::string& base, const ImageRecord& record, const std::int16_t* counts,
                      std::size_t countCount) {
  StagedFile pixels = StagePixelFile(base, counts, countCount);
  {
    const FolderLock lock(ParameterFileName(base), FolderLock::Mode::kExclusive);
    // The pair may have been deleted, or deleted and saved anew, by another
    // process since it was read.
    try {
      if (!SameBytes(ReadParameterFile(base), record)) return false;
    } catch (const FileError&) {
      return false;
    }
    pixels.Commit();
  }
  SyncFolderOf(PixelFileName(base));
  return true;
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

FileReader::FileReader(const std::string& file) : file_(file), fd_(OpenRegularFile(file)) {
  if (fd_ < 0) throw FileError(FileStep::kRead, file, ENOENT);
}

FileReader::~FileReader() { ::close(fd_); }

std::size_t FileReader::Read(std::uint8_t* data, std::size_t size) {
  bool failed = false;
  const std::size_t got = ReadUpTo(fd_, data, size, failed);
  if (failed) throw FileError(FileStep::kRead, file_, errno);
  return got;
}

bool FileReader::Skip(std::uint64_t size) {
  struct stat info;
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0 || ::fstat(fd_, &info) != 0) throw FileError(FileStep::kRead, file_, errno);
  if (size > static_cast<std::uint64_t>(info.st_size - at)) return false;
  if (::lseek(fd_, static_cast<off_t>(size), SEEK_CUR) < 0) throw FileError(FileStep::kRead, file_, errno);
  return true;
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
  if (file_calls::Remove(file.c_str()) != 0 && errno != ENOENT)
    throw FileError(FileStep::kRemove, file, errno);
}

bool ReplaceWithCopyOf(const std::string& from, const std::string& to) {
  struct stat info;
  if (::lstat(from.c_str(), &info) != 0) {
    if (errno == ENOENT) return false;
    throw FileError(FileStep::kCopy, from, errno, to);
  }
  std::string temporary = TemporaryName(to, ".link");
  file_calls::Remove(temporary.c_str());  // left by a process of ours with the same id
  if (file_calls::Link(from.c_str(), temporary.c_str()) != 0) {
    const int error = errno;
    // Gone since the look: the same as not there.
    if (error == ENOENT && ::access(from.c_str(), F_OK) != 0 && errno == ENOENT) return false;
    // File systems without hard links get a copy.
    if (error != EPERM && error != EOPNOTSUPP && error != EXDEV && error != EMLINK && error != ENOSYS)
      throw FileError(FileStep::kCopy, from, error, to);
    temporary = WriteTemporary(to, ".link", ReadWholeFile(from));
  }
  const bool renamed = file_calls::Rename(temporary.c_str(), to.c_str()) == 0;
  const int error = errno;
  // Where `to` was already a link of `from`, rename leaves both names.
  file_calls::Remove(temporary.c_str());
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
  if (fd.get() >= 0) file_calls::FlushFolder(fd.get(), folder.c_str());
}

std::string MachineIdentity(const std::string& machineId, const std::string& hostName) {
  // Letters, digits and '-' stand for themselves, every other byte is '_'
  // and two hexadecimal digits: "pc.a" and "pc-a" stay apart.
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string identity = machineId.empty() ? "x" : machineId;
  identity += '-';
  for (const char c : hostName) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-') {
      identity += c;
    } else {
      identity += '_';
      identity += kDigits[byte >> 4];
      identity += kDigits[byte & 0xF];
    }
  }
  return identity;
}

int SweepTemporaryFiles(const std::string& folder) { return SweepTemporaryFiles(folder, OwnIdentity()); }

int SweepTemporaryFiles(const std::string& folder, const std::string& identity) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const pid_t owner = TemporaryOwner(it->path().filename().string(), identity);
    if (owner <= 0 || owner == ::getpid()) continue;
    // A process that still runs, or one we may not signal, keeps its files.
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
    std::error_code statusError;
    if (!it->is_regular_file(statusError) || it->is_symlink(statusError)) continue;
    if (file_calls::Remove(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace tesvo
