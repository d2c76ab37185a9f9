#!/usr/bin/env bash
# The test command: installs what is missing, builds build/ with AddressSanitizer, UBSan and
# warnings as errors, and runs every test. LUMO_TSAN=1 also builds build-tsan with
# ThreadSanitizer and runs the tests labelled "tsan" there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS="${JOBS:-$(nproc)}"
cmake -S . -B build -G Ninja -DLUMO_SANITIZE=ON -DLUMO_WERROR=ON
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure -j "$JOBS"
if [ "${LUMO_TSAN:-0}" = "1" ]; then
  cmake -S . -B build-tsan -G Ninja -DLUMO_TSAN=ON -DLUMO_WERROR=ON -DLUMO_BENCH=OFF
  cmake --build build-tsan -j "$JOBS"
  ctest --test-dir build-tsan --output-on-failure -L tsan -j "$JOBS"
fi
