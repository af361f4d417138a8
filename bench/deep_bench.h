// tesvo-bench --deep: deep views counted by the perturbation engine against
// the plain MPFR loop, one pixel after another on one thread.
#pragma once

#include <string>
#include <vector>

namespace tesvo::bench {

// Returns the process's exit status.
int RunDeep(int threads, bool quick, const std::vector<std::string>& only);

}  // namespace tesvo::bench
