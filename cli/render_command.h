// `tesvo render IN.dat OUT.png [--scale K] [--antialias A] [--threads N]`:
// the picture of a saved image at any size, for scripts and machines with no
// display. Needs nothing of the window toolkit.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tesvo {

inline constexpr const char* kRenderUsage =
    "Uso: tesvo render ENTRADA.dat SALIDA.png [--scale K] [--antialias A] [--threads N]";
inline constexpr const char* kRenderHelp =
    "Dibuja sin pantalla la imagen grabada en ENTRADA.dat y graba el dibujo en SALIDA.png,\n"
    "K veces más ancho y más alto (K de 1 a 32; 1 si no se dice), cada píxel la media\n"
    "de A x A muestras (A de 1 a 4; 1, sin suavizado, si no se dice), con N hilos (todos\n"
    "los núcleos si no se dice). Con SALIDA.png «-», el dibujo sale por la salida estándar;\n"
    "en una tubería o un dispositivo se escribe directamente.\n"
    "\n"
    "La segunda forma dibuja una vista dada por sus números, a cualquier profundidad:\n"
    "la fórmula L (c: z^2, e: z^4, f: z^4+z^3), el centro RE + IM·i y la anchura W\n"
    "del plano en números decimales de cualquier longitud (como -0.75, 1.5e-300),\n"
    "el límite de iteraciones N y el tamaño AxB en píxeles. Con --counts graba además\n"
    "las cuentas de iteraciones, enteros de 32 bits little-endian fila a fila.\n";
inline constexpr int kMaxRenderThreads = 256;

// Exit statuses besides 0.
inline constexpr int kRenderFailed = 1;         // a file that cannot be read, refused or written
inline constexpr int kRenderBadUsage = 2;       // arguments that make no command
inline constexpr int kRenderInterrupted = 130;  // Ctrl+C, or the process told to end

// Runs the command; `arguments` are those after "render". --help prints to
// out; every message goes to err, in Spanish; with progressBar set a bar with
// the share done and the time left is drawn on err as the picture is
// computed. The output "-" is the descriptor standardOutput. On any failure
// an output file is not created nor changed; a pipe or a device keeps what
// was written into it. Returns the exit status.
int RenderCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  bool progressBar, int standardOutput = 1);

}  // namespace tesvo
