// Fuzzes reading a saved image: the input is a parameter file (its first 200
// bytes) followed by its pixel file. Whatever reading accepts is then
// recoloured and generated again, as a user would go on with it.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "commands/explorer.h"
#include "commands/file_reports.h"
#include "engine/buffers.h"
#include "library/file_error.h"
#include "library/record_problem.h"
#include "tests/null_window.h"

namespace {

std::string base;  // the input's pair, in a private folder

void WriteFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // One private folder for the whole run; every input overwrites its files.
  std::string folder = (std::filesystem::temp_directory_path() / "tesvo-fuzz-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) std::abort();
  base = folder + "/entrada";
  static const std::filesystem::path made = folder;
  std::atexit([] { std::filesystem::remove_all(made); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tesvo;
  testing::NullWindow window;
  // A fresh explorer for each input, as a program started on that image.
  Explorer explorer{window};
  const ExplorerState& state = explorer.State();
  const std::size_t record = size < kRecordSize ? size : kRecordSize;
  WriteFile(base + ".dat", data, record);
  WriteFile(base + ".pix", data + record, size - record);

  ReportingFileErrors(window, [&] { explorer.ReadImage(base); });
  // Reading fills the slots only for a record it accepts.
  if (state.mandelbrotSlot.kind != 0) {
    explorer.IncreaseGradation();
    explorer.RandomColours();
    explorer.DecreasePrecision();  // computes the image again
  }
  return 0;
}
