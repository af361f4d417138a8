// `tesvo movie`: a zoom movie from one view to another, every frame the
// picture `tesvo render` draws of its own view; its frames in a folder, the
// whole movie or a range of it, so that many machines can share the work,
// and the video made from them with ffmpeg.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tesvo {

inline constexpr const char* kMovieUsage =
    "Uso: tesvo movie SALIDA.mp4 --formula L --from RE IM ANCHURA --to RE IM ANCHURA\n"
    "         [--limit N | --limits N0 N1] [--seconds S] [--fps F] [--size AxB] [--folder CARPETA]\n"
    "         [--antialias A] [--threads N]\n"
    "     tesvo movie SALIDA.mp4 --from-image A.dat --to-image B.dat [--limit N | --limits N0 N1] [...]\n"
    "     tesvo movie --folder CARPETA [--frames A-B] --formula L --from ... --to ... (los fotogramas "
    "solos)\n"
    "     tesvo movie SALIDA.mp4 --encode CARPETA";

inline constexpr const char* kMovieHelp =
    "Hace una película de zoom de una vista a otra: cada fotograma es el dibujo que\n"
    "tesvo render hace de su propia vista. La vista va de --from a --to (el centro RE\n"
    "IM y la anchura), o de la imagen grabada en A.dat a la de B.dat (--from-image y\n"
    "--to-image), dos imágenes del conjunto de Mandelbrot de una misma fórmula (c, e\n"
    "o f), en los colores y el modo de A.dat; sin --limit ni --limits, el límite de\n"
    "iteraciones va del de A.dat al de B.dat. Por ejemplo:\n"
    "  tesvo movie espiral.mp4 --from-image inicio.dat --to-image hondo.dat --seconds 20\n";

// Runs the command; `arguments` are those after "movie". Messages go to err
// in Spanish, progress too when progress is set. Returns the exit status:
// 0, 1 (a failure), 2 (a command line that makes no movie), 130 (Ctrl+C).
int MovieCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                 bool progress);

}  // namespace tesvo
