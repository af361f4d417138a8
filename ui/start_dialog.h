// "Tesvo": the first window. Opens the main window, the about box, or ends
// the program.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "commands/explorer.h"

namespace tesvo::ui {

class StartDialog : public QDialog {
  Q_OBJECT

 public:
  explicit StartDialog(QWidget* parent = nullptr);

  // As "Iniciar", with the saved image `name` of the current directory read
  // once the main window is up ("tesvo NAME.dat"). Closing the main window
  // comes back here, as after "Iniciar".
  void OpenImage(const std::string& name);

  // The explorer that the main windows pass on; null before the first.
  const Explorer* explorer() const { return m_explorer.get(); }

 protected:
  // A Linux window manager's own menu takes no items of the program, so the
  // about entry lives in the dialog's context menu.
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void StartExplorer(const std::string& imageName = {});
  void ShowAbout();

  // What the program keeps between main windows: null until the first.
  std::unique_ptr<Explorer> m_explorer;
};

}  // namespace tesvo::ui
