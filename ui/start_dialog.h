// "Tesvo": the first window. Opens the main window, the about box, or ends
// the program.
#pragma once

#include <QDialog>
#include <string>

namespace tesvo::ui {

class StartDialog : public QDialog {
  Q_OBJECT

 public:
  explicit StartDialog(QWidget* parent = nullptr);

  // As "Iniciar", with the saved image `name` of the current directory read
  // once the main window is up ("tesvo NAME.dat"). Closing the main window
  // comes back here, as after "Iniciar".
  void OpenImage(const std::string& name);

 protected:
  // A Linux window manager's own menu takes no items of the program, so the
  // about entry lives in the dialog's context menu.
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void StartExplorer(const std::string& imageName = {});
  void ShowAbout();
};

}  // namespace tesvo::ui
