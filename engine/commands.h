// The commands of the main window that drive the engine directly, and the
// window's initialisation of the program-wide state.
#pragma once

#include <array>

#include "engine/window.h"

namespace tesvo {

inline constexpr std::array<const char*, 4> kModeNames = {"convergencia", "descomposición",
                                                          "tiempo de escape", "inversión"};

// Seeds the random colours from `clock`, sets the formula and mode, stamps the
// preset table, fills "Modo ->", takes the initial colours and makes sure of
// the reserved pairs "ultimo" and "penultimo", then lists the saved images.
void InitialiseExplorer(Window& window, unsigned randomSeed);

// True once the big picture holds a Mandelbrot or Julia image with its
// preset slots filled. Before that (nothing drawn yet, or only the start-up
// placeholder) zoom and the colour commands do nothing, a right click only
// explains, and the window offers neither the precision nor the colour buttons.
bool HasImage();

// "Iniciar conjunto de Mandelbrot": the preset of the current formula in the
// current mode, with the preset's colours.
void StartMandelbrot(Window& window);
// "Modo ->": computes the current image again in the chosen mode.
void ChangeMode(Window& window, int selectedMethod);
// "Precisión" + and -: doubles (at most 5000) or halves the iteration limit.
void IncreasePrecision(Window& window);
void DecreasePrecision(Window& window);

}  // namespace tesvo
