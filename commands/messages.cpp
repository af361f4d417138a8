#include "commands/messages.h"

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

// Why the lock file cannot be used, from the error of its open or its kind.
std::string Fault(int error) {
  switch (error) {
    case ELOOP:
      return "es un enlace simbólico";
    case EISDIR:
      return "es una carpeta";
    case kNotRegularFile:
    case ENXIO:  // what opening a socket gives
      return "no es un fichero de datos sino una tubería, un dispositivo o un socket";
    case EACCES:
    case EPERM:
      return "no se puede abrir: no hay permiso";
    default:
      return "no se puede abrir (error del sistema número " + std::to_string(error) + ")";
  }
}

}  // namespace

std::string FileErrorText(const FileError& error) {
  return Describe(error.step(), error.file(), error.systemError(), error.target());
}

std::string FileErrorHeadline(const FileError& error) {
  const std::string text = FileErrorText(error);
  return text.substr(0, text.find('\n'));
}

std::string LockNoticeText(const LockNotice& notice) {
  const std::string where = notice.folder == "." ? "de esta carpeta" : "de la carpeta " + notice.folder;
  return "Tesvo no puede usar el fichero " + std::string(kLockFileName) + " " + where +
         ", con el que las ventanas de Tesvo se turnan para cambiar sus ficheros: " + Fault(notice.error) +
         ".\nMientras tanto se turnan con la propia carpeta; borra " + kLockFileName +
         " para que vuelva a usarse.";
}

std::string RecordFaultText(RecordFault fault) {
  switch (fault) {
    case RecordFault::kKind:
      return "el tipo de imagen no es ni Mandelbrot ni Julia";
    case RecordFault::kFormula:
      return "la fórmula no es ninguna de las del programa";
    case RecordFault::kMethod:
      return "el modo de representación no existe";
    case RecordFault::kLimit:
      return "la precisión no es un número positivo";
    case RecordFault::kLimitAbove5000:
      return "la precisión pasa de 5000";
    case RecordFault::kBound:
      return "la cota de escape no es un número positivo";
    case RecordFault::kGradation:
      return "el gradado es menor que 1";
    case RecordFault::kColours:
      return "los colores no están entre 0 y 255";
    case RecordFault::kRectangle:
      return "el rectángulo de la imagen no cabe en la imagen grande";
    case RecordFault::kDeepPlace:
      return "el centro y el ancho de la imagen profunda no son válidos";
    case RecordFault::kDeepFormula:
      return "la fórmula de la imagen profunda no se calcula a esa profundidad";
    case RecordFault::kDeepLimit:
      return "la precisión de la imagen profunda no es un número entero entre 1 y 16777216";
  }
  return {};
}

std::string DeepViewFaultText(DeepViewFault fault, char formulaLetter) {
  switch (fault) {
    case DeepViewFault::kFormula:
      return std::string("La fórmula '") + formulaLetter + "' no se puede calcular a esta profundidad";
    case DeepViewFault::kCentreText:
      return "El centro debe ser un par de números decimales";
    case DeepViewFault::kWidthText:
      return "La anchura debe ser un número decimal";
    case DeepViewFault::kSize:
      return "El tamaño debe ser de al menos 1 x 1 píxeles";
    case DeepViewFault::kLimit:
      return "El límite de iteraciones debe ser al menos 1";
    case DeepViewFault::kBound:
      return "El límite de escape debe ser mayor que cero";
    case DeepViewFault::kCentreTooFar:
      return "El centro está demasiado lejos";
    case DeepViewFault::kWidthRange:
      return "La anchura debe ser mayor que cero y menor que 1e19";
    case DeepViewFault::kWidthTooSmall:
      return "La anchura es demasiado pequeña";
    case DeepViewFault::kInversion:
      return "El modo «inversión» no se dibuja más allá de lo que alcanzan los números de doble precisión";
    case DeepViewFault::kMethod:
      return "El modo debe ser «convergencia», «descomposición» o «tiempo de escape»";
  }
  return {};
}

}  // namespace tesvo
