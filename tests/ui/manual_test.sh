#!/bin/sh
# Formats the manual pages as man does and checks what a reader sees: no
# formatter warnings (lintian's own check), no lone accent where a letter was
# meant, no Spanish word cut by English hyphenation, and the program's words.
# Argument: the folder of the configured pages (the build's ui/man).
set -eu
pages=$1
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# page, language of its words
for entry in tesvo.1:en es/tesvo.1:es; do
  page=$pages/${entry%:*}
  language=${entry#*:}
  [ -f "$page" ] || {
    fail "$page is missing"
    continue
  }
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
  for width in 60 80 100; do
    text=$(LC_ALL=C.UTF-8 MANWIDTH=$width man -l "$page" 2>/dev/null)
    # U+00B4, the acute accent alone.
    echo "$text" | grep -n "´" && fail "$page at $width columns shows a lone accent"
    [ "$language" = es ] || continue
    # U+2010 at a line's end: a word cut by automatic hyphenation.
    echo "$text" | grep -n "‐$" && fail "$page at $width columns cuts words"
    for word in guard Guard usted Pruebe "sus cuentas"; do
      echo "$text" | grep -n "$word" && fail "$page says \"$word\""
    done
  done
done
exit $failed
