// The program's icon in its drawn sizes, for every title bar and the about box.
#pragma once

#include <QIcon>

namespace tesvo::ui {

QIcon ProgramIcon();

}  // namespace tesvo::ui
