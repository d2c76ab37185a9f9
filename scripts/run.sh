#!/usr/bin/env bash
# The run command: installs what is missing, builds the library and a tiny host program, and
# runs it: it prints the library's product version and the number of cameras found.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "${JOBS:-$(nproc)}" --target LumoSDK lumo-hello dedura-cat
./build/bin/lumo-hello
