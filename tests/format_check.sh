#!/bin/sh
# Every C++ source of the project is formatted as .clang-format says, as
# clang-format 14 (Debian 12) and 19 (Debian 13) both read it: where the two
# format a construct differently (19 writes `struct sigaction action{};`,
# 14 `action {}`), the code is written another way that both leave alone.
set -eu
cd "$1"
find engine colour library commands navigation cli ui tests bench \( -name '*.h' -o -name '*.cpp' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
