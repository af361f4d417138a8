#!/bin/sh
# What the program keeps lives in its Explorer: the core and the command-line
# tools declare no variable for every file to share. Two settings stay
# process-wide on purpose, since they describe the process and not an image:
# the hook that fault-injection tests set after every file change, and how
# long a change waits for another process's lock. Prints any other and fails.
set -eu
cd "$1"
found=$(grep -rnE '^[[:space:]]*extern[[:space:]]+[^"[:space:]]' engine colour library commands navigation cli |
  grep -vE 'extern (FileChangeHook afterFileChange|std::chrono::milliseconds folderLockWait|char\*\* environ);' || true)
if [ -n "$found" ]; then
  echo "$found"
  exit 1
fi
