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
inline constexpr int kMaxRenderThreads = 256;

// Exit statuses besides 0.
inline constexpr int kRenderFailed = 1;         // a file that cannot be read, refused or written
inline constexpr int kRenderBadUsage = 2;       // arguments that make no command
inline constexpr int kRenderInterrupted = 130;  // Ctrl+C, or the process told to end

// Runs the command; `arguments` are those after "render". Every message goes
// to err, in Spanish; with progressBar set a bar with the share done and the
// time left is drawn on err as the picture is computed. On any failure the
// output file is not created nor changed. Returns the exit status.
int RenderCommand(const std::vector<std::string>& arguments, std::ostream& err, bool progressBar);

}  // namespace tesvo
