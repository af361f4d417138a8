#include "engine/helper_threads.h"

#include <gtest/gtest.h>

namespace tesvo {
namespace {

struct EnvironmentCase {
  const char* tesvo;
  const char* omp;
  int cores;
  int threads;
};

TEST(ThreadsFromEnvironment, TesvoThreadsThenOpenMpsThenTheCores) {
  const EnvironmentCase cases[] = {
      {nullptr, nullptr, 2, 2},
      {"1", nullptr, 8, 1},    // the calling thread only
      {"3", "5", 2, 3},        // more threads than cores is allowed
      {nullptr, "4,2", 8, 4},  // OpenMP's list: the outermost level
      {nullptr, "6", 2, 6},
      {"0", "5", 2, 5},  // not a thread count: the next source decides
      {"abc", nullptr, 4, 4},
      {"2x", nullptr, 4, 4},
      {" 2", nullptr, 4, 4},
      {"-1", nullptr, 4, 4},
      {"", "", 4, 4},
      {"1024", nullptr, 2, 1024},
      {"1025", nullptr, 2, 2},
      {"99999999999", nullptr, 2, 2},
      {nullptr, nullptr, 0, 1},  // a count of cores that cannot be right
      {nullptr, nullptr, 5000, kMostThreads},
  };
  for (const EnvironmentCase& c : cases) {
    EXPECT_EQ(ThreadsFromEnvironment(c.tesvo, c.omp, c.cores), c.threads)
        << (c.tesvo ? c.tesvo : "unset") << ", " << (c.omp ? c.omp : "unset") << ", " << c.cores;
  }
}

}  // namespace
}  // namespace tesvo
