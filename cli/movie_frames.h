// The frames of a movie in a folder: the manifest beside them, each frame
// drawn under a temporary name and renamed, a whole frame already there kept,
// so that jobs on many machines share one folder and a killed job resumes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/movie_plan.h"

namespace tesvo {

// Makes the folder if need be and writes the movie's manifest there, or
// checks the one there is the movie's. The message, in Spanish, when the
// folder holds another movie. Throws FileError.
std::optional<std::string> PrepareFolder(const Movie& movie, const std::string& folder);

// The movie of the folder's manifest, or the message why there is none.
std::optional<Movie> ReadFolderMovie(const std::string& folder, std::string& problem);

// Frame k's bytes when the folder holds it whole, else nullopt.
std::optional<std::vector<std::uint8_t>> ReadWholeFrame(const Movie& movie, const std::string& folder, int k);

// The frames of first .. last the folder lacks or holds only in part, as
// "3-7, 12".
std::string MissingFrames(const Movie& movie, const std::string& folder, int first, int last);

struct FrameSettings {
  int threads = 0;
  // The frames done, with the share of the one being drawn; false stops.
  std::function<bool(double framesDone)> progress;
  // Each frame's bytes, in order, drawn or found.
  std::function<bool(const std::vector<std::uint8_t>& png)> sink;
};

// Draws frames first .. last into the folder, keeping those whole already.
// False when progress or sink asked to stop. Throws FileError.
bool DrawFrames(const Movie& movie, const std::string& folder, int first, int last,
                const FrameSettings& settings);

}  // namespace tesvo
