#include "library/file_error.h"

#include <cerrno>

namespace tesvo {
namespace {

std::string Reason(FileStep step, int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return "No queda espacio en el disco.";
    case EFBIG:
      return "El fichero es más grande de lo que el disco admite.";
    case EACCES:
    case EPERM:
      return "No hay permiso para hacerlo.";
    case ENOENT:
      // A file being written is created: only its folder can be missing.
      return step == FileStep::kWrite ? "La carpeta no existe." : "El fichero o su carpeta no existe.";
    case EROFS:
      return "El disco es de solo lectura.";
    case EISDIR:
      return "Hay una carpeta con ese nombre.";
    case EEXIST:
      return "Hay un fichero con ese nombre.";
    case ENAMETOOLONG:
      return "El nombre es demasiado largo.";
    case kTemporaryGone:
      return "El fichero provisional o su carpeta ha desaparecido mientras se grababa.";
    case kNotRegularFile:
    case ENXIO:  // what opening a socket gives
      return "No es un fichero de datos sino una tubería, un dispositivo o un socket.";
    case ENOTDIR:
      return "Una parte de la ruta no es una carpeta.";
    case EIO:
      return "El disco, o la red por la que se llega a la carpeta, ha fallado al leer o escribir.";
    case ESTALE:
      return "El fichero o su carpeta ha cambiado en el servidor mientras se usaba.";
    case kWholeDisk:
      return "Es un disco entero, en el que Tesvo no escribe.";
    case ELOOP:
      return "Hay demasiados enlaces simbólicos seguidos.";
    case kNoFilesHere:
      return "En esa carpeta no se pueden crear ficheros.";
    case kFolderBusy:
      return "No se ha cambiado nada; vuelve a intentarlo dentro de un momento.";
    case ENOMEM:
      return "No queda memoria.";
    case kWrongSize:
      return "El fichero es más corto de lo que debe ser.";
    default:
      return "Error del sistema número " + std::to_string(error) + ".";
  }
}

std::string Describe(FileStep step, const std::string& file, int error, const std::string& target) {
  std::string what;
  switch (step) {
    case FileStep::kRead:
      what = "No se ha podido leer el fichero " + file + ".";
      break;
    case FileStep::kWrite:
      what = "No se ha podido grabar el fichero " + file + ".";
      break;
    case FileStep::kRemove:
      what = "No se ha podido borrar el fichero " + file + ".";
      break;
    case FileStep::kCopy:
      what = "No se ha podido copiar el fichero " + file + " a " + target + ".";
      break;
    case FileStep::kUseFolder:
      what = "No se ha podido crear o abrir la carpeta " + file + ".";
      break;
    case FileStep::kLock:
      what = std::string("Otra ventana de Tesvo está grabando o borrando en ") +
             (file == "." ? "esta carpeta" : "la carpeta " + file) + " y no termina.";
      break;
  }
  return what + "\n" + Reason(step, error);
}

}  // namespace

std::string FileError::Headline() const {
  const std::string text = what();
  return text.substr(0, text.find('\n'));
}

FileError::FileError(FileStep step, std::string file, int systemError, std::string target)
    : std::runtime_error(Describe(step, file, systemError, target)),
      step_(step),
      file_(std::move(file)),
      systemError_(systemError) {}

}  // namespace tesvo
