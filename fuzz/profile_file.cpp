// Private profile files: the input is the settings file beside LumoMP and the trace's
// TvDbgCfg.ini. Every value is read the way its consumer reads it, then one key is written
// and must read back.
#include <cstdlib>

#include "common/trace/DEduraInternal.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ProfileFile.h"
#include "platform/TextConv.h"

namespace lumo::fuzz::profile_file {

int lumoFuzzOne(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::string_view text = in.rest();
    // No per-user registry: only the file decides the trace's switches.
    ::setenv("XDG_CONFIG_HOME", (scratchDir() + "/no-config").c_str(), 1);

    // LumoMP.ini, section "SETTING", as the window reads it.
    const std::wstring ini = lumo::os::fromUtf8(writeScratchFile("LumoMP.ini", text));
    const std::wstring bin = lumo::os::GetPrivateProfileStringW(L"SETTING", L"BinFile", L"0", ini, 260);
    LUMO_FUZZ_CHECK(bin.size() < 260);
    for (const wchar_t* key : {L"Reset", L"FlashSectorFeature", L"DevSelect", L"SpecificSector"})
        (void)lumo::os::GetPrivateProfileIntW(L"SETTING", key, 0, ini);

    // TvDbgCfg.ini, section "OUTPUT", through the trace's own start-up.
    writeScratchFile("TvDbgCfg.ini", text);
    lumo::trace::initializeIn(scratchDir() + "/", L"TvDbgCfg.ini");
    lumo::trace::reset();

    // A key written into the file reads back as written.
    LUMO_FUZZ_CHECK(lumo::os::WritePrivateProfileStringW(L"SETTING", L"BinFile", L"fw.bin", ini));
    LUMO_FUZZ_CHECK(lumo::os::GetPrivateProfileStringW(L"SETTING", L"BinFile", L"0", ini, 260) == L"fw.bin");
    return 0;
}

}  // namespace lumo::fuzz::profile_file

LUMO_FUZZ_TARGET(profile_file)
