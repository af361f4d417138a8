// The commands of the main window that start and change images, and the
// window's initialisation of the program-wide state. Each new image is kept
// as "ultimo", the one before becoming "penultimo".
#pragma once

#include <array>

#include "engine/image_record.h"
#include "engine/window.h"

namespace tesvo {

inline constexpr std::array<const char*, 4> kModeNames = {"convergencia", "descomposición",
                                                          "tiempo de escape", "inversión"};

// Seeds the random colours from `clock`, sets the formula and mode, stamps the
// preset table, fills "Modo ->", takes the initial colours and makes sure of
// the reserved pairs "ultimo" and "penultimo", then lists the saved images.
void InitialiseExplorer(Window& window, unsigned randomSeed);

// Draws record in the big picture, makes it the current image and keeps it
// as "ultimo"; a file step that fails is told in a message box, and the
// image stays.
void ShowNewImage(const ImageRecord& record, Window& window);

// "Iniciar conjunto de Mandelbrot": the preset of the current formula in the
// current mode, with the preset's colours.
void StartMandelbrot(Window& window);
// "Modo ->": computes the current image again in the chosen mode.
void ChangeMode(Window& window, int selectedMethod);
// "Precisión" + and -: doubles (at most 5000) or halves the iteration limit.
void IncreasePrecision(Window& window);
void DecreasePrecision(Window& window);

}  // namespace tesvo
