#!/usr/bin/env bash
# build.sh native|sanitize|fuzz|bench|windows [build-dir]
# Configures and builds one configuration; prints the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?native, sanitize, fuzz, bench or windows}
dir=${2:-$root/build/$kind}
jobs=$(nproc)
case "$kind" in
  native)   args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DKWO_SANITIZE=ON) ;;
  fuzz)     args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKWO_FUZZ=ON -DKWO_TESTS=OFF
                  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  bench)    args=(-DCMAKE_BUILD_TYPE=Release -DKWO_BENCH=ON -DKWO_TESTS=OFF) ;;
  windows)  args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake") ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs" >&2
echo "$dir"
