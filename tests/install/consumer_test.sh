#!/usr/bin/env bash
# Installs the project into a temporary prefix, builds the engine example against the installed
# tree as another project would, runs it and checks its output and the file it wrote.
set -euo pipefail
build=$1
source=$2
flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
for f in bin/truss share/man/man1/truss.1 include/fmtio/fmtio.h lib/libfmtio.a \
         lib/cmake/fmtio/fmtioConfig.cmake; do
  [ -e "$work/prefix/$f" ] || { echo "missing in the installed tree: $f"; exit 1; }
done
cmake -S "$source/examples/engine" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
      > "$work/configure.log"
cmake --build "$work/consumer" > "$work/build.log"
mkdir "$work/run"
cd "$work/run"
"$work/consumer/squares" < /dev/null > out.txt
expected=$'SUM =    3.50\r\nStop - Program terminated.\r\n'
[ "$(cat -v out.txt)" = "$(printf '%s' "$expected" | cat -v)" ] || { echo "unexpected output:"; cat -v out.txt; exit 1; }
table=$'   1     .25\r\n   2    1.00\r\n   3    2.25\r\n'
[ "$(cat -v squares.txt)" = "$(printf '%s' "$table" | cat -v)" ] || { echo "unexpected table:"; cat -v squares.txt; exit 1; }
echo "consumer built and ran against the installed tree"
