// "Tesvo": the first window. Opens the main window, the about box, or ends
// the program.
#pragma once

#include <QDialog>

namespace tesvo::ui {

class StartDialog : public QDialog {
  Q_OBJECT

 public:
  explicit StartDialog(QWidget* parent = nullptr);

 protected:
  // A Linux window manager's own menu takes no items of the program, so the
  // about entry lives in the dialog's context menu.
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void StartExplorer();
  void ShowAbout();
};

}  // namespace tesvo::ui
