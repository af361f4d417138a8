// The main window: the column of controls, the big picture and the Julia
// preview. It turns buttons, lists and mouse clicks into the core's commands
// and gives the core its drawing surface, title, message boxes and lists.
#pragma once

#include <QDialog>
#include <QPoint>
#include <atomic>
#include <functional>
#include <memory>

#include "commands/explorer.h"
#include "commands/window.h"

class QComboBox;
class QPushButton;

namespace tesvo::ui {

class PictureSurface;
class ZoomBand;

class ExplorerDialog : public QDialog, public Window {
  Q_OBJECT

 public:
  // Goes on with `explorer`, the one an earlier main window of the program
  // held, or starts a new one.
  explicit ExplorerDialog(QWidget* parent = nullptr, std::unique_ptr<Explorer> explorer = nullptr);
  ~ExplorerDialog() override;

  PictureSurface* surface() const { return m_surface; }
  Explorer& explorer() { return *m_explorer; }
  // The explorer, for the next main window; this one takes no more commands.
  std::unique_ptr<Explorer> TakeExplorer() { return std::move(m_explorer); }
  // Ctrl+C: the big picture to the clipboard, as "Grabar imagen" writes it.
  void CopyPicture();
  // The saved image `name` of the current directory read as a command, its
  // file errors told in a message box.
  void ReadNamedImage(const std::string& name);

  // Window, in explorer_window.cpp
  void SetPixel(int x, int y, Colour colour) override;
  void FillLightGrey(int left, int top, int right, int bottom) override;
  void CopyBlock(int left, int top, int width, int height, const Colour* pixels) override;
  void SetTitle(const std::string& text) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void SetModeItems(const std::vector<std::string>& names) override;
  void SelectMode(int index) override;
  int ReadListCount() const override;
  std::string ReadListText(int index) const override;
  void ReadListInsert(int index, const std::string& text) override;
  void ReadListRemove(int index) override;
  void ReadListSelect(int index) override;
  std::optional<SaveChoice> AskSaveChoice(int width, int height) override;
  bool RunCancellable(const std::string& text, const std::function<bool(const ProgressReport&)>& work,
                      const std::function<void()>& show = {}) override;
  std::optional<Complex> AskJuliaCoordinates() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void accept() override;
  void reject() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void CreateControls();
  void ConnectCommands();
  QPushButton* Button(const char* name) const;
  // Whether a right click on widget (nullptr: the dialog itself) is the
  // dialog's, as on a control that takes no clicks.
  bool PassesRightClicks(const QWidget* widget) const;
  // Enables the buttons that have something to act on now.
  void ShowAvailableCommands();
  // Runs the help window on one of the five topics, over the big picture.
  void ShowHelpTopic(int topic);
  // Runs a command to its end; input waits meanwhile, the pictures keep growing.
  // A file step that fails ends the command with its message box.
  void Run(const std::function<void(Explorer&)>& command);

  PictureSurface* m_surface = nullptr;
  QComboBox* m_readCombo = nullptr;
  QComboBox* m_modeCombo = nullptr;
  ZoomBand* m_zoomBand = nullptr;
  QPoint m_zoomStart;
  bool m_zooming = false;
  bool m_busy = false;
  std::atomic<bool>* m_cancelling = nullptr;  // RunCancellable's, while it runs
  std::unique_ptr<Explorer> m_explorer;
};

}  // namespace tesvo::ui
