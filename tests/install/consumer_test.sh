#!/usr/bin/env bash
# Installs the project into a temporary prefix, builds the engine examples against the installed
# tree as another project would, once with CMake and once with pkg-config as a Makefile would,
# runs each build and checks its output and the files it wrote; the manual page must render.
set -euo pipefail
build=$1
source=$2
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
for f in bin/truss share/man/man1/truss.1 share/man/man3/fmtio.3 include/fmtio/fmtio.h \
         include/fmtio/typed_io.h lib/libfmtio.a lib/cmake/fmtio/fmtioConfig.cmake lib/pkgconfig/fmtio.pc; do
  [ -e "$work/prefix/$f" ] || { echo "missing in the installed tree: $f"; exit 1; }
done
man -l "$work/prefix/share/man/man3/fmtio.3" 2> "$work/man.err" | grep -q "STRINGS AS RECORDS" ||
  { echo "fmtio(3) does not render:"; cat "$work/man.err"; exit 1; }
[ ! -s "$work/man.err" ] || { echo "fmtio(3) renders with warnings:"; cat "$work/man.err"; exit 1; }

cmake -S "$source/examples/engine" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
      > "$work/configure.log"
cmake --build "$work/cmake" > "$work/build.log"
mkdir "$work/pkg"
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
for example in squares report; do
  # shellcheck disable=SC2046,SC2086
  c++ -std=c++20 -O2 $flags $(pkg-config --cflags fmtio) -o "$work/pkg/$example" \
      "$source/examples/engine/$example.cpp" $(pkg-config --libs fmtio)
done

# Runs example $1 built in folder $2 in a new folder; its output and file $3 must be $4 and $5.
check() {
  local run
  run=$(mktemp -d "$work/run.XXXX")
  (cd "$run" && "$work/$2/$1" < /dev/null > out.txt)
  [ "$(cat -v "$run/out.txt")" = "$(printf '%s' "$4" | cat -v)" ] ||
    { echo "$1 ($2): unexpected output:"; cat -v "$run/out.txt"; exit 1; }
  [ "$(cat -v "$run/$3")" = "$(printf '%s' "$5" | cat -v)" ] ||
    { echo "$1 ($2): unexpected $3:"; cat -v "$run/$3"; exit 1; }
}
stop=$'Stop - Program terminated.\r\n'
table=$'   1     .25\r\n   2    1.00\r\n   3    2.25\r\n'
report=$' MEMBER FORCES\r\n  NO NAME    FORCE      STRESS\r\n   1 CHORD   12.50   .1250E+06\r\n'
report+=$'   2  DIAG   -3.75  -.4500E+05\r\n   3  POST********   .9000E+08\r\n'
for way in cmake pkg; do
  check squares "$way" squares.txt $'SUM =    3.50\r\n'"$stop" "$table"
  check report "$way" report.txt "$report"$' 5 RECORDS READ BACK\r\nMEMBER 7 BRACE CARRIES -1.50 KN\r\n'"$stop" "$report"
done
echo "both examples built with CMake and with pkg-config and ran against the installed tree"
