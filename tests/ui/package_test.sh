#!/bin/sh
# Builds the Debian package from the build tree and checks what apt will see:
# the dependencies dpkg-shlibdeps found (Qt 6 and SLEEF among them) and a file
# list of the program, its desktop entry, metadata and icons, under /usr only.
# Arguments: the build folder, the application id, the project version.
set -eu
build=$1
app_id=$2
version=$3

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  exit 1
fi
deb="$out/tesvo_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { fail "no $(basename "$deb") among: $(ls "$out")"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libqt6gui6 libqt6core6 libsleef3 libpng16-16 qt6-translations-l10n fonts-dejavu-extra; do
  echo "$depends" | grep -Eq "(^|, )$package( |,|$)" || fail "Depends does not name $package"
done

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$(
  {
    echo ./usr/bin/tesvo
    echo "./usr/share/applications/$app_id.desktop"
    echo "./usr/share/metainfo/$app_id.metainfo.xml"
    echo "./usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    for size in 16 22 24 32 48 64 128 256; do
      echo "./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    done
  } | sort
)
printf '%s\n' "$expected" >"$out/expected"
printf '%s\n' "$files" >"$out/files"
diff "$out/expected" "$out/files" >&2 || fail "the package holds other files than expected (diff above)"
dpkg-deb -c "$deb" | grep -q '^-rwxr-xr-x root/root .* ./usr/bin/tesvo$' || fail "usr/bin/tesvo is not root's executable"
exit $failed
