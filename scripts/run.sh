#!/usr/bin/env bash
# The run command, the main job on the emulated default: installs what is missing, builds the
# library, LumoMP and the image generator, generates a sample image beside the program, writes
# LumoMP.ini there, and runs one upgrade of the four-camera sample line (samples/line4.ini) in
# the console front end. Ends in "Upgrade OK" with four cameras flashed (exit status 0).
#
# The line is copied to build/line/ so its ROM files land there, not in the source tree; each
# run starts from blank flashes. Set LUMO_KEEP_ROMS=1 to keep the ROMs of the previous run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "${JOBS:-$(nproc)}" --target LumoSDK LumoMP lumo-mkimage
bin=build/bin
mkdir -p build/line
[ "${LUMO_KEEP_ROMS:-0}" = 1 ] || rm -rf build/line/roms
cp samples/line4.ini build/line/line4.ini
"$bin/lumo-mkimage" -o "$bin/fw.bin" --chip QT7421 --length 16384 --rom-size 65536
printf '[SETTING]\r\nBinFile=fw.bin\r\nReset=0\r\nFlashSectorFeature=0\r\nDevSelect=0\r\nSpecificSector=0\r\n' \
  > "$bin/LumoMP.ini"
LUMO_WORLD="emu:build/line/line4.ini" "$bin/LumoMP" --console --run </dev/null
