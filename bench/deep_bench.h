// tesvo-bench --deep: deep views counted by the perturbation engine against
// the plain MPFR loop, one pixel after another on one thread.
#pragma once

#include <string>
#include <vector>

#include "engine/scan.h"

namespace tesvo::bench {

// Returns the process's exit status. `path` is where the plain steps run.
int RunDeep(int threads, ScanPath path, bool quick, const std::vector<std::string>& only);

}  // namespace tesvo::bench
