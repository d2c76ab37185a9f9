#!/usr/bin/env bash
# The test command: installs what is missing, then
#  1. builds build/ with AddressSanitizer, UBSan and warnings as errors and runs every test
#     (the VM test against the kernel's uvcvideo included; it is skipped, not failed, when no
#     kernel package can be fetched);
#  2. builds the tool's, the emulated world's and the fault sweep's tests with ThreadSanitizer
#     in build-tsan/ and runs them (the upgrade run is multi-threaded). LUMO_TSAN=0 leaves this
#     step out;
#  3. builds the libFuzzer targets with clang in build-fuzz/ and runs each for about 20 s on a
#     copy of its corpus (scripts/fuzz.sh); any crash, leak, time-out or sanitizer report fails
#     the command. LUMO_FUZZ=0 leaves this step out, LUMO_FUZZ_SECONDS changes the time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS="${JOBS:-$(nproc)}"
# One compiler cache for every build and checkout of the tree: paths are hashed relative to the
# checkout's parent folder and the build folder itself is left out of the hash, so a fresh
# clone reuses what an earlier one compiled (its debug information names the first folder).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
cmake -S . -B build -G Ninja -DLUMO_SANITIZE=ON -DLUMO_WERROR=ON
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure -j "$JOBS"
if [ "${LUMO_TSAN:-1}" = "1" ]; then
  cmake -S . -B build-tsan -G Ninja -DLUMO_TSAN=ON -DLUMO_WERROR=ON -DLUMO_BENCH=OFF -DLUMO_QT=OFF
  cmake --build build-tsan -j "$JOBS" --target tool_tests tool_fake_tests emu_tests fault_tests
  ctest --test-dir build-tsan --output-on-failure -j "$JOBS" -L 'tool|emu|faults'
fi
if [ "${LUMO_FUZZ:-1}" = "1" ]; then
  bash scripts/fuzz.sh all "${LUMO_FUZZ_SECONDS:-20}"
fi
