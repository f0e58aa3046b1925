#!/usr/bin/env bash
# Builds everything, checks the plug-in's sources with clang-tidy, runs the
# native sanitizer build of the text-processing code, then every test under
# Wine. Fails when either part fails; extra
# arguments go to the Wine run's ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
status=0
"$root/scripts/lint.sh" || status=$?
"$root/scripts/native-tests.sh" || status=$?
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" "$@" || status=$?
exit $status
