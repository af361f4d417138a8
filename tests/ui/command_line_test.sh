#!/bin/sh
# The command line as a terminal user meets it, on a machine without any
# display: each row is the arguments, the exit code, and a text that standard
# output or standard error must hold (the other stream must stay empty).
# Arguments: the program, the project version.
set -eu
program=$1
version=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

no_display="tesvo: no se puede abrir la pantalla; Tesvo es un programa gráfico y necesita un escritorio (X11 o Wayland)."
try_help="Prueba «tesvo --help» para más información."

# arguments | exit code | stream | text
rows="--help|0|out|Uso: tesvo [opciones]
-h|0|out|--pictures-folder    Trabaja en la carpeta Tesvo
--version|0|out|Tesvo $version
-v|0|out|Tesvo $version
-platform offscreen --version|0|out|Tesvo $version
--bogus|2|err|tesvo: opción desconocida: --bogus
--bogus=1 --help|2|err|tesvo: opción desconocida: --bogus
-x|2|err|tesvo: opción desconocida: -x
-x|2|err|$try_help
-h|0|out|Uso: tesvo [opciones] [NOMBRE.dat]
picture.dat|1|err|$no_display
--pictures-folder picture.dat|1|err|$no_display
a.dat b.dat|2|err|tesvo: argumento inesperado: b.dat
--help|0|out|render ENTRADA.dat SALIDA.png [--scale K] [--antialias A] [--threads N]
render --help|0|out|Uso: tesvo render ENTRADA.dat SALIDA.png
render|2|err|tesvo render: faltan el fichero de la imagen (.dat) y el del dibujo (.png).
render falta.dat falta.png|1|err|tesvo render: no se ha podido leer el fichero falta.dat.
render a.dat b.png --scale 40|2|err|la escala (--scale) tiene que ser un número entero de 1 a 32, no «40».
-style|2|err|tesvo: falta el valor de la opción -style
--pictures-folder=/tmp|2|err|tesvo: la opción --pictures-folder no lleva valor
--version=2|2|err|tesvo: la opción --version no lleva valor
|1|err|$no_display
--pictures-folder|1|err|$no_display"

printf '%s\n' "$rows" >"$work/rows"
while IFS='|' read -r arguments code stream text; do
  # shellcheck disable=SC2086 # the arguments are split as a shell would
  (cd "$work" && exec env -i PATH="$PATH" HOME="$work/home" LANG=C.UTF-8 "$program" $arguments) \
    >"$work/out" 2>"$work/err" </dev/null && status=0 || status=$?
  other=$([ "$stream" = out ] && echo err || echo out)
  [ "$status" -eq "$code" ] || fail "tesvo $arguments: exit code $status, not $code"
  grep -qF -- "$text" "$work/$stream" || fail "tesvo $arguments: standard $stream does not say: $text"
  [ ! -s "$work/$other" ] || fail "tesvo $arguments: standard $other is not empty: $(cat "$work/$other")"
  # Without a display Qt's own complaints are held back: one line, no more.
  if [ "$code" -eq 1 ] && [ "$(wc -l <"$work/err")" -ne 1 ]; then
    fail "tesvo $arguments: more than one line on standard error"
  fi
done <"$work/rows"

# Nothing was written anywhere: no pictures folder, no ultimo pair.
[ -z "$(ls -A "$work" | grep -v -e '^out$' -e '^err$' -e '^rows$')" ] || fail "files were written: $(ls -A "$work")"

# A saved image given as a file manager gives it, the desktop entry's
# --pictures-folder included: the main window opens in the file's folder,
# which gets the reserved pair, and nothing is written anywhere else.
mkdir "$work/open" "$work/open/otra"
cp "$(dirname "$0")/pequena.dat" "$work/open/otra/"
(cd "$work/open" && exec env -i PATH="$PATH" HOME="$work/home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen "$program" \
  --pictures-folder otra/pequena.dat) >"$work/out" 2>"$work/err" </dev/null &
opened=$!
tries=0
while [ ! -f "$work/open/otra/ultimo.dat" ] && [ $tries -lt 100 ] && kill -0 $opened 2>/dev/null; do
  sleep 0.1
  tries=$((tries + 1))
done
kill $opened 2>/dev/null || true
wait $opened 2>/dev/null || true
[ -f "$work/open/otra/ultimo.dat" ] || fail "tesvo otra/pequena.dat did not open the main window in otra: $(cat "$work/err")"
[ "$(ls -A "$work/open")" = otra ] || fail "tesvo otra/pequena.dat wrote beside otra: $(ls -A "$work/open")"
[ ! -e "$work/home" ] || fail "tesvo otra/pequena.dat wrote into the home folder"
rm -rf "$work/open"

# A picture rendered with no display at all: silent when standard error is
# no terminal, the file a PNG twice the image's width and height.
mkdir "$work/render"
(cd "$work/render" && exec env -i PATH="$PATH" HOME="$work/home" LANG=C.UTF-8 "$program" render \
  "$(dirname "$0")/pequena.dat" doble.png --scale 2 --antialias 2) >"$work/out" 2>"$work/err" </dev/null &&
  status=0 || status=$?
[ "$status" -eq 0 ] || fail "tesvo render: exit code $status: $(cat "$work/err")"
[ ! -s "$work/out" ] && [ ! -s "$work/err" ] || fail "tesvo render said something: $(cat "$work/out" "$work/err")"
# The header: width 80 and height 60 as big-endian numbers after "IHDR".
header=$(od -An -tx1 -j12 -N12 "$work/render/doble.png" | tr -d ' \n')
[ "$header" = 49484452000000500000003c ] || fail "tesvo render: not an 80 x 60 PNG: $header"
[ "$(ls -A "$work/render")" = doble.png ] || fail "tesvo render left other files: $(ls -A "$work/render")"
# A render killed with SIGKILL leaves its temporary file; the next render in
# that folder sweeps it, as a start of the windows does.
mkdir "$work/killed"
(cd "$work/killed" && exec "$program" render "$(dirname "$0")/pequena.dat" grande.png --scale 32 --antialias 4) \
  </dev/null >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ -n "$(ls -A "$work/killed")" ] && break
  sleep 0.05
done
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
ls -A "$work/killed" | grep -q '\.tmp$' || fail "tesvo render: no temporary file to sweep: $(ls -A "$work/killed")"
(cd "$work/killed" && "$program" render "$(dirname "$0")/pequena.dat" nueva.png) </dev/null ||
  fail "tesvo render after a kill: exit code $?"
[ "$(ls -A "$work/killed")" = nueva.png ] || fail "tesvo render left a killed one's files: $(ls -A "$work/killed")"

# Waiting for a reader of a named pipe, a render ends on SIGTERM with its
# message, exit code 130 and nothing written.
mkfifo "$work/killed/tubo"
(cd "$work/killed" && exec "$program" render "$(dirname "$0")/pequena.dat" tubo) </dev/null >/dev/null \
  2>"$work/err" &
pid=$!
# Sent once it waits in the pipe's open, after its start-up.
for _ in $(seq 100); do
  grep -q wait_for_partner "/proc/$pid/wchan" 2>/dev/null && break
  sleep 0.05
done
kill -TERM "$pid"
wait "$pid" && status=0 || status=$?
[ "$status" -eq 130 ] || fail "tesvo render into a pipe without reader, then SIGTERM: exit code $status"
grep -qF "tesvo render: interrumpido" "$work/err" || fail "tesvo render on SIGTERM said: $(cat "$work/err")"

exit $failed
