#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into OUTDIR/<target>/.

The seeds are real-shaped inputs (the samples' line file, the settings and trace files of the
README, REGEDIT4 files, small ELF files with a version block, UVC descriptor sets like a
camera's, trace logs in their shifted form). scripts/fuzz.sh seed merges them with the
generated camera and image seeds into fuzz/corpus/.
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
out = sys.argv[1]


def put(target, name, data):
    d = os.path.join(out, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


# ---- profile files (LumoMP.ini, TvDbgCfg.ini) ----
put("profile_file", "lumomp.ini", "[SETTING]\r\nBinFile=fw.bin\r\nReset=1\r\nFlashSectorFeature=1\r\n"
    "DevSelect=2\r\nSpecificSector=3\r\n")
put("profile_file", "tvdbgcfg.ini", "[OUTPUT]\nFILE=0      ; the log file\nVIEW=0\nLEVEL_0=1\nLEVEL_1=1\n"
    "LEVEL_2=1\nLEVEL_3=0\nLEVEL_X=1\n")
put("profile_file", "quirks.ini", "\xef\xbb\xbf; comment\n[ setting ]\n  binfile = \"a b.bin\" \nReset=-12abc\n"
    "[SETTING]\nBinFile=second.bin\n[OUTPUT]\nVIEW= +4294967297\nLEVEL_X=\n")

# ---- per-user registry ----
put("user_registry", "readme.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\DEdura]\n\"LOGFILE\"=dword:00000001\n"
    "\"VIEW\"=dword:00000001\n")
put("user_registry", "kinds.reg", "\xef\xbb\xbfREGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"VIEW\"=dword:1\r\n"
    "[hkey_current_user\\dedura]\r\n\"LEVEL_0\"=hex:00,00,\\\r\n  00,00\r\n\"LEVEL_1\"=hex(4):01,00,00,00\r\n"
    "\"LEVEL_2\"=\"te\\\"xt\"\r\n@=\"default\"\r\n\"LEVEL_X\"=hex:1\r\n; comment\r\n\"LEVEL_3\"=dword:ffffffff\r\n")

# ---- line files ----
with open(os.path.join(ROOT, "samples", "line4.ini"), "rb") as f:
    put("line_file", "line4.ini", f.read())
put("line_file", "every-key.ini", """[line]
romdir = roms
[camera 1]
chip = QT7844
ctrl = XU,EM
rom = eeprom:0x800
driver = maker
image = missing.bin
vid = 0x2E1A
pid = 7844
rev = 0x0100
mi = 2
instance = 6&abc&0&0002
name = Second Camera
status = 0x1C
hwver = 3
setfile = SF01.00.02
intfwver = QT-21.0105
sensor_apid = 0x1234
ext_fw_ver = 0x0102
latency_us = 0
async_io = yes
sector_erase_ms = 45
block_erase_ms = 150
chip_erase_ms = 700
page_program_us = 300
eeprom_write_ms = 5
reset_removal_ms = 50
reset_arrival_ms = 1500
fail_request = 12
fail_selector = 0x06
vanish_at = 99
flash_busy = no
spi_stuck = off
# a comment
[camera 2]
chip = other
rom = spi:unknown
driver = none
""")

# ---- UVC descriptors: device, configuration, IAD, VideoControl interface with header, camera
# terminal, processing unit, vendor and H.264 extension units, selector and encoding units,
# output terminal, then a VideoStreaming interface ----
def guid_bytes(d1, d2, d3, d4):
    return struct.pack("<IHH", d1, d2, d3) + bytes(d4)

VENDOR = guid_bytes(0x68BBD0B0, 0x61A4, 0x4B83, [0x90, 0xB7, 0xA6, 0x21, 0x5F, 0x3C, 0x4F, 0x70])
H264 = guid_bytes(0xA29E7641, 0xDE04, 0x47E3, [0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B])

def xu(unit_id, guid, source, controls):
    body = bytes([0x24, 0x06, unit_id]) + guid + bytes([len(controls) * 8, 1, source, len(controls)]) + \
        bytes(controls) + bytes([0])
    return bytes([len(body) + 1]) + body

def desc(t, *b):
    return bytes([len(b) + 2, t]) + bytes(b)

def camera_descriptors(vc_if):
    device = desc(0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x1A, 0x2E, 0x21, 0x74, 0x00, 0x01, 1, 2, 0, 1)
    it = desc(0x24, 0x02, 1, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 3, 0x0A, 0x00, 0x00)
    pu = desc(0x24, 0x05, 2, 1, 0, 0, 2, 0x7F, 0x15, 0)
    su = desc(0x24, 0x04, 5, 1, 2, 0)
    eu = desc(0x24, 0x07, 6, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0)
    vendor = xu(3, VENDOR, 2, [0xFF, 0xFF, 0x1F])
    h264 = xu(4, H264, 3, [0xFF, 0xFF])
    ot = desc(0x24, 0x03, 7, 0x01, 0x01, 0, 4, 0)
    units = it + pu + su + eu + vendor + h264 + ot
    header = desc(0x24, 0x01, 0x00, 0x01, 0, 0, 0x80, 0x8D, 0x5B, 0x00, 1, 1)
    header = header[:5] + struct.pack("<H", len(header) + len(units)) + header[7:]
    iad = desc(0x0B, vc_if, 2, 0x0E, 0x03, 0x00, 0)
    vc = desc(0x04, vc_if, 0, 1, 0x0E, 0x01, 0x00, 0)
    ep = desc(0x05, 0x83, 0x03, 0x10, 0x00, 0x06)
    vs = desc(0x04, vc_if + 1, 0, 0, 0x0E, 0x02, 0x00, 0)
    body = iad + vc + header + units + ep + vs
    config = desc(0x02, 0, 0, 2, 1, 0, 0x80, 0xFA)
    config = config[:2] + struct.pack("<H", len(config) + len(body)) + config[4:]
    return device + config + body

put("uvc_descriptor", "camera-if0", bytes([0]) + camera_descriptors(0))
put("uvc_descriptor", "camera-if2", bytes([2]) + camera_descriptors(2))
put("uvc_descriptor", "two-configs", bytes([0]) + camera_descriptors(0) + camera_descriptors(0)[18:])

# ---- trace logs in their file form: shifted up to the first line feed, "\r\n " ends a record ----
def file_form(text):
    lf = text.find("\n")
    end = len(text) if lf < 0 else lf
    b = bytearray(text.encode())
    for i in range(end):
        if b[i] != 0x20:
            b[i] = (b[i] + 0x40) & 0xFF
    b[-1] = 0x0D
    return bytes(b) + b"\n "

records = ["[LumoDev.cpp:212][0]CLumoDev::XuGetHwVer ===>\n", "[LumoDev.cpp:218][0]*pHwVer = 0x01\n",
           "[LumoBin.cpp:31][4]BIN file is not valid.XXXXXXXXXX\n", "[x.cpp:1][2]two\nlines\n"]
put("trace_log", "records.log", b"".join(file_form(r) for r in records))

# ---- version resources: small ELF files with and without the block ----
block = (b"LUMOVER1\\StringFileInfo\\040403b6\\ProductVersion\0" b"1.1.1000.0\0"
         b"\\StringFileInfo\\040403b6\\FileVersion\0" b"1.1.1000.0\0\0")
with tempfile.TemporaryDirectory() as tmp:
    src = os.path.join(tmp, "v.c")
    with open(src, "w") as f:
        f.write('__attribute__((section(".lumo_version"), used)) const char v[] = "%s";\n' %
                "".join("\\%03o" % c for c in block[:-1]))
    obj = os.path.join(tmp, "v.o")
    subprocess.check_call(["cc", "-c", "-Os", "-o", obj, src])
    with open(obj, "rb") as f:
        put("version_resource", "elf64-le.o", f.read())
    for fmt, name in (("elf32-i386", "elf32-le.o"), ("elf64-big", "elf64-be.o"), ("elf32-big", "elf32-be.o")):
        conv = os.path.join(tmp, name)
        if subprocess.call(["objcopy", "-O", fmt, obj, conv], stderr=subprocess.DEVNULL) == 0:
            with open(conv, "rb") as f:
                put("version_resource", name, f.read())
    bare = os.path.join(tmp, "bare.o")
    subprocess.check_call(["objcopy", "-R", ".lumo_version", obj, bare])
    with open(bare, "rb") as f:
        put("version_resource", "no-block.o", f.read())
