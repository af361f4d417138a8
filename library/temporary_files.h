// The names of the temporary files that writes stage their files under,
// which tell the machine and the process they belong to, and the start-up
// sweep of those that processes no longer running left behind.
#pragma once

#include <string>

namespace tesvo {

// The name that file is written under before its rename, tag (".dat",
// ".pix", ".link" or ".png") telling what it holds. In the target's folder,
// so that the rename stays on one file system, but under a short name of its
// own: a target whose name is near the file system's length limit leaves no
// room for a suffix on that name. The machine and process in it tell the
// start-up sweep whose file it is; the hash of the target's name keeps apart
// the files one process writes at once.
std::string TemporaryName(const std::string& file, const std::string& tag);

// Whose temporary files these are: the machine id (32 hexadecimal digits,
// "x" where there is none), '-', and the whole host name escaped so that no
// two host names give the same text, for containers that share a machine id.
// Temporary names are ".tesvo-IDENTITY-PID-HASH.TAG.tmp", HASH being 16
// hexadecimal digits of the target file's name.
std::string MachineIdentity(const std::string& machineId, const std::string& hostName);

// Start-up: removes the temporary files that processes of this machine
// (identity, by default this one's) no longer running left in folder, and
// nothing else: a folder shared with other machines keeps theirs. Returns how
// many went.
int SweepTemporaryFiles(const std::string& folder = ".");
int SweepTemporaryFiles(const std::string& folder, const std::string& identity);

}  // namespace tesvo
