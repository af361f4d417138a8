#!/bin/sh
# The program's folders form layers, each including only itself and the
# folders below it: engine, colour, library, commands, navigation, cli, ui.
# Prints every include that reaches upwards and fails when there is one.
set -eu
cd "$1"
layers="engine colour library commands navigation cli ui"
rank() {
  i=0
  for layer in $layers; do
    i=$((i + 1))
    if [ "$layer" = "$1" ]; then
      echo "$i"
      return
    fi
  done
  echo 0
}
bad=0
for folder in $layers; do
  own=$(rank "$folder")
  for file in $(find "$folder" -name '*.h' -o -name '*.cpp'); do
    for included in $(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)/.*|\1|p' "$file"); do
      other=$(rank "$included")
      if [ "$other" -eq 0 ] || [ "$other" -gt "$own" ]; then
        echo "$file includes $included/, which is not below $folder/"
        bad=1
      fi
    done
  done
done
exit "$bad"
