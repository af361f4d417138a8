#include "cli/movie_frames.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/view_render.h"
#include "library/file_error.h"
#include "library/file_writing.h"
#include "library/temporary_files.h"

namespace tesvo {
namespace {

// The whole of a regular file, or nullopt when there is none.
std::optional<std::vector<std::uint8_t>> ReadAll(const std::string& file) {
  struct stat info;
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(FileStep::kRead, file, EIO);
  return bytes;
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

std::optional<std::string> PrepareFolder(const Movie& movie, const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw FileError(FileStep::kWrite, folder, error.value());
  const std::string manifest = folder + "/" + kManifestName;
  const std::string text = ManifestText(movie);
  // What jobs of this machine killed mid-frame left; other machines' stay.
  SweepTemporaryFiles(folder);
  const auto other = [&]() -> std::optional<std::string> {
    return "La carpeta " + folder + " tiene los fotogramas de otra película (" + kManifestName +
           " no es el de esta); usa otra carpeta.";
  };
  if (const auto there = ReadAll(manifest)) return Text(*there) == text ? std::nullopt : other();
  StreamedFile file(manifest, ".txt");
  file.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  // Another job may put the same manifest there first.
  if (!file.CommitIfFree()) {
    const auto there = ReadAll(manifest);
    if (!there || Text(*there) != text) return other();
  }
  return std::nullopt;
}

std::optional<Movie> ReadFolderMovie(const std::string& folder, std::string& problem) {
  const std::string manifest = folder + "/" + kManifestName;
  const auto bytes = ReadAll(manifest);
  if (!bytes) {
    problem = "No hay ninguna película en " + folder + ": falta " + manifest + ".";
    return std::nullopt;
  }
  std::optional<Movie> movie = ParseManifest(Text(*bytes));
  if (!movie) problem = "El fichero " + manifest + " no es la lista de vistas de una película de Tesvo.";
  return movie;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFrame(const Movie& movie, const std::string& folder,
                                                        int k) {
  std::optional<std::vector<std::uint8_t>> bytes = ReadAll(FrameFileName(folder, k));
  if (bytes && !IsWholeFrame(*bytes, FrameDeepView(movie, k), movie.antialias, movie.Colours()))
    bytes.reset();
  return bytes;
}

std::string MissingFrames(const Movie& movie, const std::string& folder, int first, int last) {
  std::string list;
  for (int k = first; k <= last; ++k) {
    if (ReadWholeFrame(movie, folder, k)) continue;
    int end = k;
    while (end < last && !ReadWholeFrame(movie, folder, end + 1)) ++end;
    if (!list.empty()) list += ", ";
    list += std::to_string(k);
    if (end > k) list.append("-").append(std::to_string(end));
    k = end;
  }
  return list;
}

bool DrawFrames(const Movie& movie, const std::string& folder, int first, int last,
                const FrameSettings& settings) {
  for (int k = first; k <= last; ++k) {
    const double done = k - first;
    if (settings.progress && !settings.progress(done)) return false;
    std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFrame(movie, folder, k);
    if (!bytes) {
      bytes.emplace();
      DeepSettings deep;
      deep.threads = settings.threads;
      if (settings.progress) deep.progress = [&](double share) { return settings.progress(done + share); };
      StreamedFile file(FrameFileName(folder, k), ".png");
      const bool drawn = WriteViewPicture(
          FrameDeepView(movie, k), deep,
          [&](const std::uint8_t* b, std::size_t n) {
            file.Write(b, n);
            bytes->insert(bytes->end(), b, b + n);
          },
          {}, movie.antialias, movie.Colours());
      if (!drawn) return false;
      file.Commit();
    }
    if (settings.sink && !settings.sink(*bytes)) return false;
  }
  return !settings.progress || settings.progress(last - first + 1);
}

}  // namespace tesvo
