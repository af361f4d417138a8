// The "Colores" buttons and the "Gradado :" row: new colours or gradation for
// the current image, shown at once from its stored counts.
#pragma once

#include "engine/window.h"

namespace tesvo {

void IncreaseGradation(Window& window);
void DecreaseGradation(Window& window);
void RandomColours(Window& window);
void InitialColours(Window& window);
void GreyColours(Window& window);

}  // namespace tesvo
