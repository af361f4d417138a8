// Storing the current image: under a name the user chose, and after every
// new image as "ultimo", the previous one becoming "penultimo".
#pragma once

#include <string>

#include "engine/window.h"

namespace tesvo {

inline constexpr const char* kLastName = "ultimo";
inline constexpr const char* kSecondLastName = "penultimo";

// Writes currentImage and its counts as the pair `name`, unless name + ".dat"
// exists. A quiet save (state.quietSave) adds no list entry and shows no
// message; the flag is spent by this call whatever its outcome. Throws
// FileError.
void SaveImage(const std::string& name, Window& window);

// "ultimo" becomes "penultimo" and currentImage is written as "ultimo". Files
// of the reserved pairs that are missing are no error. Throws FileError.
void RotateLastImages(Window& window);

// Start-up: a placeholder pair for each reserved name whose .dat is missing.
// Throws FileError.
void EnsureLastImages(Window& window);

}  // namespace tesvo
