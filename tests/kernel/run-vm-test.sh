#!/usr/bin/env bash
# Boots a Debian kernel under QEMU (TCG), presents one emulated camera as a real USB UVC
# device through dummy_hcd + gadgetfs, lets the kernel's uvcvideo bind to it, and runs lumoctl
# and LumoMP against /dev/video0 with the real Linux world (LUMO_WORLD unset).
#
# Exit status: 0 passed, 1 failed, 77 skipped (no kernel package or no QEMU reachable).
# Environment: LUMO_VM_CACHE (kernel cache, default ~/.cache/lumo-vm), LUMO_VM_BUILD (build
# directory of the plain, unsanitized programs, default <repo>/build-vm), LUMO_VM_KEEP=1 keeps
# the work directory.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${LUMO_VM_CACHE:-$HOME/.cache/lumo-vm}
build=${LUMO_VM_BUILD:-$repo/build-vm}
work=$(mktemp -d /tmp/lumo-vm.XXXXXX)
[ "${LUMO_VM_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

skip() { echo "SKIP: $*"; exit 77; }
say() { echo "[vm-test] $*"; }

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
[ -x /bin/busybox ] && file -L /bin/busybox | grep -q 'statically linked' || skip "busybox-static is not installed"
command -v cpio >/dev/null || skip "cpio is not installed"

# --- the kernel: the version linux-image-amd64 depends on, cached -------------------------
mkdir -p "$cache"
kpkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[ -n "$kpkg" ] || kpkg=$(ls "$cache" 2>/dev/null | sed -n 's/^\(linux-image-[0-9].*-amd64\)_.*\.deb$/\1/p' | head -1)
[ -n "$kpkg" ] || skip "cannot tell which kernel package linux-image-amd64 depends on"
deb=$(ls "$cache"/"${kpkg}"_*.deb 2>/dev/null | head -1 || true)
if [ -z "$deb" ]; then
    say "fetching $kpkg"
    (cd "$cache" && { timeout 300 apt-get download "$kpkg" >/dev/null 2>&1 ||
        { apt-get update >/dev/null 2>&1 && timeout 300 apt-get download "$kpkg" >/dev/null 2>&1; }; }) ||
        skip "cannot fetch $kpkg"
    deb=$(ls "$cache"/"${kpkg}"_*.deb 2>/dev/null | head -1 || true)
    [ -n "$deb" ] || skip "cannot fetch $kpkg"
fi
kroot="$cache/root-$kpkg"
if [ ! -d "$kroot/lib/modules" ]; then
    rm -rf "$kroot"; mkdir -p "$kroot"; dpkg-deb -x "$deb" "$kroot"
fi
vmlinuz=$(ls "$kroot"/boot/vmlinuz-* | head -1)

# --- our programs, built plain (static gadget; sanitizers and static linking exclude each other)
say "building the programs in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMO_TESTS=OFF -DLUMO_BENCH=OFF -DLUMO_QT=OFF >/dev/null
ninja -C "$build" lumo-gadget lumoctl LumoMP LumoSDK lumo-mkimage >/dev/null

# --- the initramfs -----------------------------------------------------------------------
root="$work/initrd"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,etc,lib/modules,lumo,root}
cp /bin/busybox "$root/bin/busybox"
for a in sh mount insmod ls cat echo sleep poweroff mkdir cmp grep head tail dd wc od; do ln -sf busybox "$root/bin/$a"; done
modules="usb-common usbcore udc-core dummy_hcd gadgetfs mc videodev videobuf2-common videobuf2-v4l2 videobuf2-memops videobuf2-vmalloc uvcvideo"
for m in $modules; do
    f=$(find "$kroot/lib/modules" -name "$m.ko" -o -name "$m.ko.xz" | head -1)
    [ -n "$f" ] || skip "the kernel has no module $m"
    case "$f" in *.xz) xz -dc "$f" > "$root/lib/modules/$m.ko" ;; *) cp "$f" "$root/lib/modules/$m.ko" ;; esac
done
# programs and the shared libraries they load
cp "$build/bin/lumo-gadget" "$build/bin/lumoctl" "$build/bin/LumoMP" "$build/bin/lumo-mkimage" "$root/lumo/"
mkdir -p "$root/lumo/lib"
cp "$build/lib/libLumoSDK.so" "$root/lumo/lib/"
for p in "$build/bin/lumoctl" "$build/bin/LumoMP" "$build/bin/lumo-mkimage" "$build/lib/libLumoSDK.so"; do
    ldd "$p" | awk '/=> \// {print $3} /^\t\/lib/ {print $1}' | while read -r lib; do
        mkdir -p "$root$(dirname "$lib")"; cp -L "$lib" "$root$lib"
    done
done
cp "$here/vm-camera.ini" "$root/lumo/"
cp "$here/vm-init.sh" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc 2>/dev/null | gzip -1) > "$work/initrd.gz"

# --- boot ----------------------------------------------------------------------------------
say "booting $kpkg"
log="$work/console.log"
timeout 900 qemu-system-x86_64 -accel tcg -m 768 -smp 1 -nographic -no-reboot -nic none \
    -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 loglevel=3 panic=-1" </dev/null >"$log" 2>&1 || true
tr -d '\r' <"$log" | sed -n '/LUMO-VM-BEGIN/,/LUMO-VM-END/p' | sed 's/^/    /'
if grep -q '^LUMO-VM-RESULT: PASS' <(tr -d '\r' <"$log"); then
    say "passed"
    exit 0
fi
say "FAILED; the console said:"
tr -d '\r' <"$log" | tail -60
exit 1
