// The help window: one of the five topics of the main window's "?" buttons,
// its heading in the title bar and its text in one large label.
#pragma once

#include <QDialog>

namespace tesvo::ui {

class HelpDialog : public QDialog {
  Q_OBJECT

 public:
  // A topic outside 1 to 5 shows the first topic's heading and no text.
  HelpDialog(int topic, QWidget* parent);
};

}  // namespace tesvo::ui
