// How a command tells the user of a file step that failed: one message box,
// after which the command has ended.
#pragma once

#include <optional>
#include <string>

#include "commands/messages.h"
#include "commands/window.h"
#include "library/file_error.h"
#include "library/folder_lock.h"

namespace tesvo {

// Runs a command body; a FileError ends it with the message box. A fault of
// a folder's lock file that the body met is told after it.
template <typename Body>
void ReportingFileErrors(Window& window, Body&& body) {
  try {
    body();
  } catch (const FileError& error) {
    window.ShowMessage(FileErrorText(error), kProgramName);
  }
  while (const std::optional<LockNotice> notice = TakeLockNotice())
    window.ShowMessage(LockNoticeText(*notice), kProgramName);
}

}  // namespace tesvo
