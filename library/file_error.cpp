#include "library/file_error.h"

#include <string>

namespace tesvo {
namespace {

// For logs and tests only: what users read is worded in commands/.
std::string Technical(FileStep step, const std::string& file, int error) {
  constexpr const char* kSteps[] = {"read", "write", "remove", "copy", "use folder", "lock"};
  return std::string(kSteps[static_cast<int>(step)]) + " " + file + ": error " + std::to_string(error);
}

}  // namespace

FileError::FileError(FileStep step, std::string file, int systemError, std::string target)
    : std::runtime_error(Technical(step, file, systemError)),
      step_(step),
      file_(std::move(file)),
      systemError_(systemError),
      target_(std::move(target)) {}

}  // namespace tesvo
