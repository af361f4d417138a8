// The "Colores" buttons and the "Gradado :" row of the explorer.
#include "colour/palette.h"
#include "commands/drawing.h"
#include "commands/explorer.h"

namespace tesvo {
namespace {

constexpr RGB kBlack{0, 0, 0};
constexpr RGB kMidGrey{125, 125, 125};
constexpr RGB kWhite{255, 255, 255};

}  // namespace

// Every colour set is symmetric, c0 c1 c2 c1 c0, so that one cycle of the
// Palette ends where the next begins.
void Explorer::SetSymmetricColours(RGB c0, RGB c1, RGB c2) {
  state_.currentImage.controlColours = {c0, c1, c2, c1, c0};
}

RGB Explorer::RandomColour() {
  const auto component = [&] { return state_.random.Next() * 255 / 32767; };
  const int red = component();
  const int green = component();
  const int blue = component();
  return {red, green, blue};
}

// The Palette of the current image's colours, and its stored counts painted
// through it.
void Explorer::Recolour() {
  BuildPaletteFor(state_.currentImage, state_.palette);
  RepaintCurrent();
}

void Explorer::IncreaseGradation() {
  if (!HasImage()) return;
  int& w = state_.currentImage.gradation;
  // Above 5000 a cycle no longer fits the Palette and raising changes nothing
  // on screen, so the gradation stops growing there instead of overflowing.
  if (w <= kMaxIterationLimit) w = static_cast<int>(w * 1.5);
  Recolour();
}

void Explorer::DecreaseGradation() {
  if (!HasImage()) return;
  int& w = state_.currentImage.gradation;
  w = static_cast<int>(w * 0.6666666666666666);
  if (w < 4) w = 4;
  Recolour();
}

void Explorer::RandomColours() {
  if (!HasImage()) return;
  const RGB c0 = RandomColour();
  const RGB c1 = RandomColour();
  const RGB c2 = RandomColour();
  SetSymmetricColours(c0, c1, c2);
  Recolour();
}

void Explorer::InitialColours() {
  if (!HasImage()) return;
  SetSymmetricColours(state_.initialColours[0], state_.initialColours[1], state_.initialColours[2]);
  Recolour();
}

void Explorer::GreyColours() {
  if (!HasImage()) return;
  SetSymmetricColours(kBlack, kMidGrey, kWhite);
  Recolour();
}

}  // namespace tesvo
