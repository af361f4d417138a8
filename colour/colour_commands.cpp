#include "colour/colour_commands.h"

#include "colour/recolour.h"
#include "engine/generation.h"
#include "engine/program_state.h"

namespace tesvo {
namespace {

constexpr RGB kBlack{0, 0, 0};
constexpr RGB kMidGrey{125, 125, 125};
constexpr RGB kWhite{255, 255, 255};

// Every colour set is symmetric, c0 c1 c2 c1 c0, so that one cycle of the
// Palette ends where the next begins.
void SetSymmetricColours(RGB c0, RGB c1, RGB c2) { state.currentImage.controlColours = {c0, c1, c2, c1, c0}; }

int RandomComponent() { return state.random.Next() * 255 / 32767; }

RGB RandomColour() {
  const int red = RandomComponent();
  const int green = RandomComponent();
  const int blue = RandomComponent();
  return {red, green, blue};
}

void RecolourCurrent(Window& window) { Recolour(state.currentImage, window); }

}  // namespace

void IncreaseGradation(Window& window) {
  if (!HasImage()) return;
  int& w = state.currentImage.gradation;
  // Above 5000 a cycle no longer fits the Palette and raising changes nothing
  // on screen, so the gradation stops growing there instead of overflowing.
  if (w <= kMaxIterationLimit) w = static_cast<int>(w * 1.5);
  RecolourCurrent(window);
}

void DecreaseGradation(Window& window) {
  if (!HasImage()) return;
  int& w = state.currentImage.gradation;
  w = static_cast<int>(w * 0.6666666666666666);
  if (w < 4) w = 4;
  RecolourCurrent(window);
}

void RandomColours(Window& window) {
  if (!HasImage()) return;
  const RGB c0 = RandomColour();
  const RGB c1 = RandomColour();
  const RGB c2 = RandomColour();
  SetSymmetricColours(c0, c1, c2);
  RecolourCurrent(window);
}

void InitialColours(Window& window) {
  if (!HasImage()) return;
  SetSymmetricColours(state.initialColours[0], state.initialColours[1], state.initialColours[2]);
  RecolourCurrent(window);
}

void GreyColours(Window& window) {
  if (!HasImage()) return;
  SetSymmetricColours(kBlack, kMidGrey, kWhite);
  RecolourCurrent(window);
}

}  // namespace tesvo
