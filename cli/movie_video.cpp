#include "cli/movie_video.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "library/file_calls.h"

extern char** environ;

namespace tesvo {

VideoEncoder::VideoEncoder(const std::string& output, int fps) : output_(output) {
  const std::filesystem::path path(output);
  std::string leaf = ".";
  leaf.append(path.filename().string()).append(".").append(std::to_string(::getpid())).append(".part.mp4");
  temporary_ = (path.parent_path() / leaf).string();
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    problem_ = "No se ha podido abrir una tubería hacia ffmpeg.";
    return;
  }
  // A write to an ffmpeg that has ended gives EPIPE instead of ending Tesvo.
  previousPipeHandler_ = std::signal(SIGPIPE, SIG_IGN);
  const std::string rate = std::to_string(fps);
  const char* argv[] = {"ffmpeg",   "-hide_banner", "-loglevel",        "error",      "-nostats",
                        "-f",       "image2pipe",   "-framerate",       rate.c_str(), "-c:v",
                        "png",      "-i",           "pipe:0",           "-c:v",       "libx264",
                        "-pix_fmt", "yuv420p",      "-movflags",        "+faststart", "-f",
                        "mp4",      "-y",           temporary_.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own, so that Ctrl+C at the terminal reaches Tesvo alone,
  // which then stops ffmpeg and removes its file.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  const int error = posix_spawnp(&pid_, "ffmpeg", &actions, &attributes, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(ends[0]);
  if (error != 0) {
    ::close(ends[1]);
    pid_ = -1;
    problem_ = error == ENOENT
                   ? "No se encuentra el programa ffmpeg, que hace el vídeo (apt-get install ffmpeg)."
                   : "No se ha podido arrancar ffmpeg.";
    return;
  }
  pipe_ = ends[1];
}

VideoEncoder::~VideoEncoder() {
  Stop();
  if (previousPipeHandler_ != nullptr) std::signal(SIGPIPE, previousPipeHandler_);
}

void VideoEncoder::Stop() {
  if (pipe_ >= 0) ::close(std::exchange(pipe_, -1));
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (!temporary_.empty()) std::remove(temporary_.c_str());
}

bool VideoEncoder::Frame(const std::vector<std::uint8_t>& png) {
  if (problem_) return false;
  if (!file_calls::WriteAll(pipe_, "ffmpeg", png.data(), png.size())) {
    problem_ = "ffmpeg ha dejado de recibir los fotogramas; no se ha hecho el vídeo " + output_ + ".";
    return false;
  }
  return true;
}

bool VideoEncoder::Finish() {
  if (problem_) return false;
  ::close(std::exchange(pipe_, -1));
  int status = 0;
  pid_t ended;
  while ((ended = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (ended < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    problem_ = "ffmpeg no ha podido hacer el vídeo " + output_ + ".";
    return false;
  }
  if (std::rename(temporary_.c_str(), output_.c_str()) != 0) {
    problem_ = "No se ha podido grabar el vídeo " + output_ + ".";
    return false;
  }
  temporary_.clear();
  return true;
}

}  // namespace tesvo
