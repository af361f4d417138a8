#include "ui/start_up.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QList>
#include <QTranslator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "commands/messages.h"
#include "library/file_error.h"
#include "library/working_folder.h"
#include "ui/message_box.h"

namespace tesvo::ui {

bool LoadQtSpanish(QCoreApplication& application) {
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

bool EnterWorkingFolder(bool picturesFolder) {
  if (!picturesFolder) return true;
  const std::optional<std::filesystem::path> folder = MenuImageFolderFromEnvironment();
  try {
    if (!folder) throw FileError(FileStep::kUseFolder, "~/Tesvo", ENOENT);
    EnterImageFolder(*folder);
    return true;
  } catch (const FileError& error) {
    ShowMessageBox(nullptr, QString::fromUtf8(kProgramName), QString::fromUtf8(FileErrorText(error).c_str()));
    return false;
  }
}

std::string EnterFolderOfImage(const QString& file) {
  const QFileInfo info(file);
  QString name = file.endsWith(QStringLiteral(".dat")) ? file.chopped(4) : file;
  if (QDir::setCurrent(info.absolutePath())) name = QFileInfo(name).fileName();
  return QFile::encodeName(name).toStdString();
}

const char* const kNoDisplayMessage =
    "tesvo: no se puede abrir la pantalla; Tesvo es un programa gráfico y necesita un escritorio "
    "(X11 o Wayland).\n";

namespace {

QtMessageHandler previousHandler = nullptr;
QList<std::pair<QtMsgType, QString>> heldMessages;

void HoldOrEnd(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fputs(kNoDisplayMessage, stderr);
    std::_Exit(1);
  }
  heldMessages.append({type, message});
}

}  // namespace

DisplayGuard::DisplayGuard() { previousHandler = qInstallMessageHandler(HoldOrEnd); }

DisplayGuard::~DisplayGuard() {
  qInstallMessageHandler(previousHandler);
  const QMessageLogContext context;
  for (const auto& [type, message] : std::exchange(heldMessages, {}))
    qt_message_output(type, context, message);
}

}  // namespace tesvo::ui
