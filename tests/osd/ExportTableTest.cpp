// The shared library shows exactly the 58 TAVIX_ functions, the OSD and H.264 rows included,
// and nothing else.
#include <dlfcn.h>
#include <elf.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const kNames[] = {
    "TAVIX_LoadBinFile",
    "TAVIX_LoadBinFileFromPath",
    "TAVIX_CRC16Calculate",
    "TAVIX_EnumDevs",
    "TAVIX_FreeDevs",
    "TAVIX_QueryExtRom",
    "TAVIX_DeviceChangeRegister",
    "TAVIX_DeviceChangeUnregister",
    "TAVIX_DevsDelByPath",
    "TAVIX_DevsDelByIndex",
    "TAVIX_ExtRomRead",
    "TAVIX_ExtRomWrite",
    "TAVIX_RegWrite",
    "TAVIX_RegRead",
    "TAVIX_SensorRegRead",
    "TAVIX_SensorRegWrite",
    "TAVIX_McuDataRead",
    "TAVIX_McuDataWrite",
    "TAVIX_McuCodeRead",
    "TAVIX_ExtRomWriteEnable",
    "TAVIX_EraseAll",
    "TAVIX_SpiCmdSectorEraseById",
    "TAVIX_SpiCmdSectorEraseByAddr",
    "TAVIX_SpiCmdBlockEraseById",
    "TAVIX_SpiCmdBlockEraseByAddr",
    "TAVIX_DeviceReset",
    "TAVIX_SpiWaitBusReady",
    "TAVIX_OsdEnableSet",
    "TAVIX_OsdEnableGet",
    "TAVIX_OsdReset",
    "TAVIX_OsdTimeSyncSet",
    "TAVIX_OsdTimeSyncGet",
    "TAVIX_OsdStringSet",
    "TAVIX_OsdStringGet",
    "TAVIX_OsdWindowSet",
    "TAVIX_OsdWindowGet",
    "TAVIX_OsdHdrWrtie",
    "TAVIX_OsdColorSet",
    "TAVIX_OsdColorGet",
    "TAVIX_H264RateCtrlModeGet",
    "TAVIX_H264RateCtrlModeSet",
    "TAVIX_H264BitRateTargetGet",
    "TAVIX_H264BitRateTargetSet",
    "TAVIX_H264QpStepsGet",
    "TAVIX_H264QpStepsSet",
    "TAVIX_H264NextFrameTypeSet",
    "TAVIX_H264Reset",
    "TAVIX_GetPropPageCurVal",
    "TAVIX_GetModuleInfo",
    "TAVIX_GetBackendInfo",
    "TAVIX_GetFlashSize",
    "TAVIX_GetPidVid",
    "TAVIX_GetBcdDevice",
    "TAVIX_GetBinFileSize",
    "TAVIX_GetDevCount",
    "TAVIX_GetProductVersion",
    "TAVIX_GetXuCtrlVer",
    "TAVIX_GetH264CtrlVer",
};

// Names of the defined global symbols of the dynamic symbol table of a 64-bit ELF file.
std::set<std::string> definedDynamicSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> f((std::istreambuf_iterator<char>(in)), {});
    std::set<std::string> out;
    if (f.size() < sizeof(Elf64_Ehdr)) return out;
    Elf64_Ehdr eh;
    std::memcpy(&eh, f.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) return out;
    auto section = [&](std::size_t i) {
        Elf64_Shdr sh{};
        const std::size_t at = eh.e_shoff + i * sizeof(Elf64_Shdr);
        if (at + sizeof sh <= f.size()) std::memcpy(&sh, f.data() + at, sizeof sh);
        return sh;
    };
    for (std::size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = section(i);
        if (sh.sh_type != SHT_DYNSYM || sh.sh_entsize != sizeof(Elf64_Sym)) continue;
        const Elf64_Shdr str = section(sh.sh_link);
        for (std::size_t off = sh.sh_offset;
             off + sizeof(Elf64_Sym) <= sh.sh_offset + sh.sh_size && off + sizeof(Elf64_Sym) <= f.size();
             off += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            std::memcpy(&sym, f.data() + off, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || ELF64_ST_BIND(sym.st_info) == STB_LOCAL) continue;
            if (str.sh_offset + sym.st_name >= f.size()) continue;
            const char* name = f.data() + str.sh_offset + sym.st_name;
            out.insert(std::string(name, strnlen(name, f.size() - (str.sh_offset + sym.st_name))));
        }
    }
    return out;
}

TEST(ExportTable, ExactlyTheFiftyEightNames) {
    const std::set<std::string> want(std::begin(kNames), std::end(kNames));
    ASSERT_EQ(want.size(), 58u);
    EXPECT_EQ(definedDynamicSymbols(LUMO_SDK_LIBRARY_PATH), want);

    void* lib = dlopen(LUMO_SDK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const auto* name : kNames) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    dlclose(lib);
}

}  // namespace
