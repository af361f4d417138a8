// Storing the current image: under a name the user chose, and after every
// new image as "ultimo", the previous one becoming "penultimo".
#pragma once

#include <string>

#include "engine/scaled_picture.h"
#include "engine/window.h"

namespace tesvo {

inline constexpr const char* kLastName = "ultimo";
inline constexpr const char* kSecondLastName = "penultimo";

// "Grabar imagen": asks for a name and saves the current image under it. An
// empty name is refused with a message; the author's trigger shows his note.
// Before there is an image that reading would take back, it only says so.
void SaveImageAs(Window& window);

// "<- Borrar": after confirmation, deletes the pair and the picture of the
// entry read last (readIndex, not the selection) and its entry. A file that is
// already gone is no error. Does nothing when readIndex designates no entry.
// Throws FileError.
void DeleteReadImage(Window& window);

// Writes currentImage and its counts as the pair `name`, unless name + ".dat"
// exists, then its picture name + ".png" where no file has that name. Another
// file there is left as it is, and the success message says so unless it is
// already this image's picture. The picture is the one shown, taken from the
// counts, or at a larger size computed again under the window's progress,
// where cancelling leaves the pair saved and no picture. Throws FileError.
void SaveImage(const std::string& name, Window& window, PictureSize size = {});

// "ultimo" becomes "penultimo" and currentImage is written as "ultimo",
// without losing either image when interrupted at any point. Files of the
// reserved pairs that are missing are no error. Throws FileError.
void RotateLastImages();

// Start-up: a placeholder pair for each reserved name whose .dat is missing.
// Throws FileError.
void EnsureLastImages();

}  // namespace tesvo
