#include "ui/start_up.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <cerrno>

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

bool EnterWorkingFolder(const QStringList& arguments) {
  if (!arguments.contains(QLatin1String(kPicturesFolderOption))) return true;
  const std::optional<std::filesystem::path> folder = MenuImageFolderFromEnvironment();
  try {
    if (!folder) throw FileError(FileStep::kUseFolder, "~/Tesvo", ENOENT);
    EnterImageFolder(*folder);
    return true;
  } catch (const FileError& error) {
    ShowMessageBox(nullptr, QString::fromUtf8(kProgramName), QString::fromUtf8(error.what()));
    return false;
  }
}

}  // namespace tesvo::ui
