// The one font of every window, sized so that each text fits its control in
// the fixed dialog-unit layout.
#pragma once

#include <QFont>

namespace tesvo::ui {

QFont ProgramFont();

}  // namespace tesvo::ui
