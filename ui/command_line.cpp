#include "ui/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

namespace tesvo::ui {

namespace {

// The options QGuiApplication and QApplication take from every program's
// command line; the parser must not refuse them.
const char* const kQtOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",   "style", "stylesheet", "display",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "geometry", "title", "name",       "session",
};
const char* const kQtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

// "--name" or "-name" as the parser names the option: "name".
QString WithoutDashes(QString option) { return option.remove(QRegularExpression(QStringLiteral("^-+"))); }

QString HelpText(const QString& program) {
  return QStringLiteral(
             "Uso: %1 [opciones] [NOMBRE.dat]\n"
             "     %1 render ENTRADA.dat SALIDA.png [--scale K] [--antialias A] [--threads N]\n"
             "     %1 render --formula L --centre RE IM --width W --limit N --size AxB SALIDA.png\n"
             "     %1 movie SALIDA.mp4 --formula L --from RE IM W --to RE IM W --limit N\n"
             "Explora el conjunto de Mandelbrot y los conjuntos de Julia de sus puntos.\n"
             "\n"
             "Opciones:\n"
             "  -h, --help           Muestra esta ayuda y termina.\n"
             "  -v, --version        Muestra la versión y termina.\n"
             "  --pictures-folder    Trabaja en la carpeta Tesvo de la carpeta de imágenes\n"
             "                       del usuario (por ejemplo ~/Imágenes/Tesvo), que se crea\n"
             "                       si falta. Sin esta opción, Tesvo trabaja en la carpeta\n"
             "                       actual.\n"
             "\n"
             "Con NOMBRE.dat, Tesvo trabaja en la carpeta de ese fichero y abre la ventana\n"
             "principal con esa imagen leída.\n"
             "\n"
             "Se aceptan también las opciones generales de Qt (-platform, -style, -display...).\n"
             "\n"
             "render dibuja sin pantalla la imagen grabada en ENTRADA.dat y graba su dibujo\n"
             "en SALIDA.png («-»: la salida estándar), K veces más ancho y más alto (K de 1\n"
             "a 32; 1 si no se dice), cada píxel la media de A x A muestras (A de 1 a 4; 1,\n"
             "sin suavizado, si no se dice), con N hilos (todos los núcleos si no se dice).\n"
             "\n"
             "Cada imagen grabada es NOMBRE.dat (sus parámetros), NOMBRE.pix (las cuentas\n"
             "de iteraciones) y NOMBRE.png (el dibujo).\n"
             "\n"
             "render --formula dibuja una vista a cualquier profundidad; «tesvo render --help»\n"
             "dice cómo. movie hace una película de zoom de una vista a otra; «tesvo movie\n"
             "--help» dice cómo. Más información: man tesvo.\n")
      .arg(program);
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  // "-platform xcb" is Qt's own spelling: one dash, a whole word.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
  const QCommandLineOption picturesFolder(QStringLiteral("pictures-folder"));
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(picturesFolder);
  for (const char* name : kQtOptionsWithValue)
    parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("valor")));
  for (const char* name : kQtFlags) parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

  const QString program = arguments.isEmpty() ? QStringLiteral("tesvo") : arguments.first().section('/', -1);
  CommandLine line;
  const QString tryHelp = QStringLiteral("\nPrueba «%1 --help» para más información.").arg(program);
  if (!parser.parse(arguments)) {
    line.action = CommandLine::Action::kRefuse;
    if (!parser.unknownOptionNames().isEmpty()) {
      // The option as the user wrote it, dashes included, without its value.
      const QString name = parser.unknownOptionNames().first();
      QString written = name;
      for (const QString& argument : arguments.mid(1)) {
        const QString option = argument.section('=', 0, 0);
        if (option.startsWith('-') && WithoutDashes(option) == name) {
          written = option;
          break;
        }
      }
      line.text = QStringLiteral("%1: opción desconocida: %2%3").arg(program, written, tryHelp);
    } else {
      // The two other refusals: an option that takes no value was given one
      // ("--pictures-folder=DIR"), or the last option takes a value and was
      // given none.
      QStringList flags = help.names() + version.names() + picturesFolder.names();
      for (const char* name : kQtFlags) flags.append(QString::fromLatin1(name));
      for (const QString& argument : arguments.mid(1)) {
        const QString option = argument.section('=', 0, 0);
        if (option.startsWith('-') && argument.contains('=') && flags.contains(WithoutDashes(option))) {
          line.text = QStringLiteral("%1: la opción %2 no lleva valor%3").arg(program, option, tryHelp);
          return line;
        }
      }
      line.text =
          QStringLiteral("%1: falta el valor de la opción %2%3").arg(program, arguments.last(), tryHelp);
    }
    return line;
  }
  if (parser.isSet(help)) {
    line.action = CommandLine::Action::kPrintHelp;
    line.text = HelpText(program);
    return line;
  }
  if (parser.isSet(version)) {
    line.action = CommandLine::Action::kPrintVersion;
    line.text = QStringLiteral("Tesvo %1\n").arg(QStringLiteral(TESVO_VERSION));
    return line;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    line.action = CommandLine::Action::kRefuse;
    line.text = QStringLiteral("%1: argumento inesperado: %2%3").arg(program, files.at(1), tryHelp);
    return line;
  }
  line.picturesFolder = parser.isSet(picturesFolder);
  if (!files.isEmpty()) line.imageFile = files.first();
  return line;
}

}  // namespace tesvo::ui
