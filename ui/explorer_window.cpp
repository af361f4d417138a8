// The main window as the core sees it, its Window: drawing into the big
// picture, the title, message boxes, the mode and read lists, the questions
// asked in dialogs, and work run with a progress dialog.
#include "ui/explorer_dialog.h"

#include <QComboBox>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

#include "ui/julia_coordinates_dialog.h"
#include "ui/message_box.h"
#include "ui/picture_surface.h"
#include "ui/save_image_dialog.h"

namespace tesvo::ui {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void ExplorerDialog::SetPixel(int x, int y, Colour colour) { m_surface->SetPixel(x, y, colour); }

void ExplorerDialog::FillLightGrey(int left, int top, int right, int bottom) {
  m_surface->Fill(QRect(QPoint(left, top), QPoint(right, bottom)), kLightGrey);
}

void ExplorerDialog::CopyBlock(int left, int top, int width, int height, const Colour* pixels) {
  m_surface->CopyBlock(left, top, width, height, pixels);
}

void ExplorerDialog::SetTitle(const std::string& text) { setWindowTitle(FromUtf8(text)); }

void ExplorerDialog::ShowMessage(const std::string& text, const std::string& caption) {
  m_surface->Flush();
  ShowMessageBox(this, FromUtf8(caption), FromUtf8(text));
}

bool ExplorerDialog::AskYesNo(const std::string& text, const std::string& caption) {
  m_surface->Flush();
  return AskYesNoBox(this, FromUtf8(caption), FromUtf8(text));
}

void ExplorerDialog::SetModeItems(const std::vector<std::string>& names) {
  m_modeCombo->clear();
  for (const std::string& name : names) m_modeCombo->addItem(FromUtf8(name));
}

void ExplorerDialog::SelectMode(int index) { m_modeCombo->setCurrentIndex(index); }

int ExplorerDialog::ReadListCount() const { return m_readCombo->count(); }

// Each entry keeps its name's bytes beside the text shown: a file name that is
// not UTF-8 shows with replacement characters but is still read and deleted
// under its own name.
std::string ExplorerDialog::ReadListText(int index) const {
  const QByteArray name = m_readCombo->itemData(index).toByteArray();
  return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

// A combo box selects the first entry put into it, and a neighbour of a removed
// selected one; the list shows a selection only where a command made one.
void ExplorerDialog::ReadListInsert(int index, const std::string& text) {
  const bool noSelection = m_readCombo->currentIndex() == -1;
  m_readCombo->insertItem(index, FromUtf8(text),
                          QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  if (noSelection) m_readCombo->setCurrentIndex(-1);
}

void ExplorerDialog::ReadListRemove(int index) {
  const bool selected = m_readCombo->currentIndex() == index;
  m_readCombo->removeItem(index);
  if (selected) m_readCombo->setCurrentIndex(-1);
}

void ExplorerDialog::ReadListSelect(int index) { m_readCombo->setCurrentIndex(index); }

std::optional<SaveChoice> ExplorerDialog::AskSaveChoice(int width, int height) {
  m_surface->Flush();
  SaveImageDialog dialog(this, width, height);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return SaveChoice{dialog.name(), dialog.scale(), dialog.antialias()};
}

// The work runs on a thread of its own while this thread keeps the windows
// painted; the command that called it is still running, so the window takes
// no other command meanwhile (Run), and the progress dialog, once shown,
// keeps the input from the window altogether.
bool ExplorerDialog::RunCancellable(const std::string& text,
                                    const std::function<bool(const ProgressReport&)>& work,
                                    const std::function<void()>& show) {
  m_surface->Flush();
  constexpr int kSteps = 1000;
  std::atomic<int> done{0};
  std::atomic<bool> cancelled{false};
  std::atomic<bool> finished{false};
  bool result = false;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      result = work([&](double share) {
        done = static_cast<int>(share * kSteps);
        return !cancelled;
      });
    } catch (...) {
      failure = std::current_exception();
    }
    finished = true;
  });

  QProgressDialog progress(FromUtf8(text), QStringLiteral("Cancelar"), 0, kSteps, this);
  progress.setObjectName("pictureProgress");
  progress.setWindowTitle(QStringLiteral("Tesvo"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  connect(&progress, &QProgressDialog::canceled, this, [&] { cancelled = true; });
  connect(&progress, &QDialog::rejected, this, [&] { cancelled = true; });
  m_cancelling = &cancelled;
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, this, [&] {
    if (show) show();
    if (finished)
      loop.quit();
    else if (!cancelled)
      progress.setValue(done);
  });
  poll.start(30);
  loop.exec();
  worker.join();
  m_cancelling = nullptr;
  progress.hide();
  if (show) {
    show();
    m_surface->Flush();
  }
  if (failure) std::rethrow_exception(failure);
  return result;
}

std::optional<Complex> ExplorerDialog::AskJuliaCoordinates() {
  m_surface->Flush();
  JuliaCoordinatesDialog dialog(this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return Complex{dialog.re(), dialog.im()};
}

}  // namespace tesvo::ui
