// What the user is told, in Spanish, of a file step that failed, of a folder's
// lock file that cannot be used, of a parameter file the program never writes
// and of a view that cannot be counted: the lower layers hand over what
// happened, these words are the program's.
#pragma once

#include <string>

#include "engine/deep_view.h"
#include "library/file_error.h"
#include "library/folder_lock.h"
#include "library/record_problem.h"

namespace tesvo {

// Two lines: which step failed on which file, then why.
std::string FileErrorText(const FileError& error);
// The first of them alone.
std::string FileErrorHeadline(const FileError& error);

// Why Tesvo goes on without the folder's lock file, and how to mend it.
std::string LockNoticeText(const LockNotice& notice);

// Why a parameter file cannot be shown, to follow "no es una imagen de Tesvo: ".
std::string RecordFaultText(RecordFault fault);

// Why a view cannot be counted, as a sentence without its full stop; the
// formula's letter names it.
std::string DeepViewFaultText(DeepViewFault fault, char formulaLetter);

}  // namespace tesvo
