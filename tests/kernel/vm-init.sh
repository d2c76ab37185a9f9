#!/bin/sh
# PID 1 of the test VM: loads the USB gadget and video modules, starts the gadget camera and
# runs lumoctl and LumoMP against /dev/video0 with the real Linux world. Ends with one line
# "LUMO-VM-RESULT: PASS ..." or "LUMO-VM-RESULT: FAIL ..." that the runner asserts on.
export PATH=/bin:/lumo
export LD_LIBRARY_PATH=/lumo/lib
export HOME=/root
LUMO_GADGET_VERBOSE=
unset LUMO_WORLD
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
for m in usb-common usbcore udc-core dummy_hcd gadgetfs mc videodev videobuf2-common videobuf2-v4l2 \
         videobuf2-memops videobuf2-vmalloc uvcvideo; do
    insmod /lib/modules/$m.ko || echo "insmod $m failed"
done
mkdir -p /dev/gadget
mount -t gadgetfs gadgetfs /dev/gadget

echo "LUMO-VM-BEGIN"
failed=""
fail() { echo "check failed: $*"; failed="$failed $1"; }

lumo-gadget /lumo/vm-camera.ini ${LUMO_GADGET_VERBOSE} >/tmp/gadget.log 2>&1 &
n=0
while [ ! -e /dev/video0 ] && [ $n -lt 60 ]; do sleep 0.5; n=$((n + 1)); done
[ -e /dev/video0 ] || fail nodevice "uvcvideo made no /dev/video0"

# identification: part number, firmware versions, a 64 KB SPI flash
lumoctl list >/tmp/list.txt 2>/tmp/list.err || fail list "lumoctl list exited $?"
cat /tmp/list.txt
grep -q QT7421 /tmp/list.txt || fail list-part "no QT7421 in the list"
grep -q -i spi /tmp/list.txt || fail list-rom "no SPI flash in the list"
grep -q -E '65536|0x10000|64 ?KB' /tmp/list.txt || fail list-size "no 64 KB ROM in the list"

# ROM round trip through the exports
lumo-mkimage -o /tmp/image.bin --chip QT7421 --length 16384 --rom-size 65536 || fail mkimage "lumo-mkimage"
size=$(wc -c </tmp/image.bin)
lumoctl rom protect off || fail rom-unprotect "rom protect off"
lumoctl rom erase chip || fail rom-erase "rom erase chip"
lumoctl rom write 0 /tmp/image.bin 2>/dev/null || fail rom-write "rom write"
lumoctl rom read 0 "$(printf '%x' "$size")" -o /tmp/back.bin 2>/dev/null || fail rom-read "rom read"
lumoctl rom protect on || fail rom-protect "rom protect on"
cmp /tmp/image.bin /tmp/back.bin && echo "rom round trip: $size bytes identical" || fail rom-compare "read-back differs"

# the production run: LumoMP flashes a second image and the ROM is read back intact
lumo-mkimage -o /lumo/mp-image.bin --chip QT7421 --length 20480 --rom-size 65536 || fail mkimage2 "lumo-mkimage"
printf '[SETTING]\r\nBinFile=mp-image.bin\r\nReset=0\r\nFlashSectorFeature=0\r\n' >/lumo/LumoMP.ini
LumoMP --console --run </dev/null >/tmp/mp.txt 2>&1
mp=$?
tail -8 /tmp/mp.txt
[ $mp -eq 0 ] || fail mp-exit "LumoMP exited $mp"
grep -q "Upgrade OK" /tmp/mp.txt || fail mp-status "no Upgrade OK"
size2=$(wc -c </lumo/mp-image.bin)
lumoctl rom read 0 "$(printf '%x' "$size2")" -o /tmp/back2.bin 2>/dev/null || fail mp-read "rom read after LumoMP"
cmp /lumo/mp-image.bin /tmp/back2.bin && echo "after LumoMP: $size2 bytes identical" || fail mp-compare "read-back after LumoMP differs"

if [ -z "$failed" ]; then
    echo "LUMO-VM-RESULT: PASS uvcvideo-bound list rom-roundtrip=$size LumoMP-upgrade=$size2"
else
    echo "--- gadget log"; tail -30 /tmp/gadget.log; echo "--- kernel"; dmesg | tail -25
    echo "LUMO-VM-RESULT: FAIL$failed"
fi
echo "LUMO-VM-END"
poweroff -f
