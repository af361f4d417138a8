// The video of a movie: H.264 in MP4, yuv420p, made by Debian's ffmpeg
// program from the frames' PNG bytes sent down a pipe as they are drawn, into
// a temporary file put in place only when ffmpeg has ended well.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesvo {

class VideoEncoder {
 public:
  // Starts ffmpeg; a problem (no ffmpeg) comes back from Problem().
  VideoEncoder(const std::string& output, int fps);
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;
  // Without Finish: ffmpeg is stopped and its file removed.
  ~VideoEncoder();

  const std::optional<std::string>& Problem() const { return problem_; }
  // Sends one frame's PNG; false, with Problem() set, when ffmpeg is gone.
  bool Frame(const std::vector<std::uint8_t>& png);
  // Ends the video and renames it to the output; false, with Problem() set,
  // when ffmpeg failed.
  bool Finish();

 private:
  void Stop();

  std::string output_;
  std::string temporary_;
  std::optional<std::string> problem_;
  pid_t pid_ = -1;
  int pipe_ = -1;
  void (*previousPipeHandler_)(int) = nullptr;
};

}  // namespace tesvo
