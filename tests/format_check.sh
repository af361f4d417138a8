#!/bin/sh
# Every C++ source of the project is formatted as .clang-format says.
set -eu
cd "$1"
find engine colour library commands navigation ui tests bench \( -name '*.h' -o -name '*.cpp' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
