// The fault sweep: upgrade runs on emulated lines with one faulty camera at a time, the fault
// placed anywhere in the run (enumeration and ROM detection included). Whatever goes wrong,
// the verdict must hold:
//   - a camera called OK holds the image (read from the camera model, not through the library);
//   - a run called good has every camera of the line served and OK;
//   - a camera that is not OK says why;
//   - every run ends.
// Each case names its fault in line-file form, so it can be replayed with LumoMP on a line file.
//
// LUMO_FAULT_SWEEP=quick runs a smaller set (the default under ThreadSanitizer), =full a
// denser one with every fault on every camera of a line in turn (several minutes).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/DeviceWorld.h"
#include "platform/emu/EmuWorld.h"
#include "platform/emu/VirtualClock.h"
#include "sdk/LumoSDK.h"
#include "tests/tool/RecordingDialogLayer.h"
#include "tool/ControlIds.h"
#include "tool/LumoMPDlg.h"

namespace lumo::tool::test {
namespace {

using lumo::os::emu::CameraConfig;
using lumo::os::emu::EmuWorld;
using lumo::os::emu::Faults;
using lumo::os::emu::RomKind;
using lumo::os::emu::VirtualClock;

// Cameras of a line differ in their product id only, so a result can be traced to its camera.
constexpr std::uint16_t kPidBase = 0x7500;
// Real time a run may take before it counts as hung (the clock is virtual: a run takes
// well under a second even under a sanitizer).
constexpr auto kRunTimeout = std::chrono::seconds(60);

enum class RomCase { Spi, SpiEm, Eeprom2K, Eeprom32K };

struct LineCase {
    int cameras;
    RomCase rom;
    bool preImaged;  // the ROMs hold another image (same chip, same header) before the run
};

std::uint32_t romBytes(RomCase rom) {
    return rom == RomCase::Eeprom2K ? 2048 : rom == RomCase::Eeprom32K ? 32768 : 65536;
}

std::string lineName(const LineCase& line) {
    static const char* const kRom[] = {"Spi", "SpiEm", "Eeprom2K", "Eeprom32K"};
    return std::to_string(line.cameras) + "x" + kRom[static_cast<int>(line.rom)] +
           (line.preImaged ? "PreImaged" : "Blank");
}
void PrintTo(const LineCase& line, std::ostream* os) {
    *os << lineName(line);
}

// An image for the line's chip and ROM: signature "ED" and the ROM size (512-byte units) in the
// header, and a pattern that never holds 0xFF. `seed` tells two images apart.
std::vector<std::uint8_t> makeImage(std::size_t size, std::uint32_t rom, unsigned seed) {
    std::vector<std::uint8_t> img(size);
    for (std::size_t i = 0; i < size; ++i) img[i] = static_cast<std::uint8_t>((i * (7 + 6 * seed) + 1 + seed) % 251);
    img[0x40] = 'E';
    img[0x41] = 'D';
    img[0x46] = img[0x56] = static_cast<std::uint8_t>(rom / 512);
    return img;
}

struct Fault {
    enum class Kind { None, FailRequest, VanishAt, FailSelector, FlashBusy, SpiStuck };
    Kind kind = Kind::None;
    std::uint64_t value = 0;
    std::size_t camera = 0;  // line position of the faulty camera

    void applyTo(Faults& f) const {
        switch (kind) {
            case Kind::None:
                break;
            case Kind::FailRequest:
                f.failRequest = value;
                break;
            case Kind::VanishAt:
                f.vanishAtRequest = value;
                break;
            case Kind::FailSelector:
                f.failSelector = static_cast<int>(value);
                break;
            case Kind::FlashBusy:
                f.flashBusyForever = true;
                break;
            case Kind::SpiStuck:
                f.spiEngineStuck = true;
                break;
        }
    }
    // In line-file form.
    std::string text() const {
        std::ostringstream s;
        s << "[camera " << camera << "] ";
        switch (kind) {
            case Kind::None:
                return "no fault";
            case Kind::FailRequest:
                s << "fail_request = " << value;
                break;
            case Kind::VanishAt:
                s << "vanish_at = " << value;
                break;
            case Kind::FailSelector:
                s << "fail_selector = 0x" << std::hex << value;
                break;
            case Kind::FlashBusy:
                s << "flash_busy = yes";
                break;
            case Kind::SpiStuck:
                s << "spi_stuck = yes";
                break;
        }
        return s.str();
    }
};

// What one run showed.
struct RunRecord {
    std::vector<std::string> violations;
    bool success = false;
    bool refused = false;                            // "Upgrade FW" was off, or the click was refused
    int caught = 0;                                  // cameras failed with a reason
    int proven = 0;                                  // cameras OK whose ROM holds the image
    std::vector<std::uint64_t> requests;             // per line camera: requests received
    std::vector<std::set<std::uint32_t>> selectors;  // per line camera: vendor selectors used
};

struct Totals {
    int runs = 0, refused = 0, caught = 0, proven = 0;
};
Totals g_totals;

class PrintTotals : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("fault sweep: %d runs (%d refused before any write), %d faults caught, %d OKs proven\n",
                    g_totals.runs, g_totals.refused, g_totals.caught, g_totals.proven);
    }
};
const auto* const g_printTotals = ::testing::AddGlobalTestEnvironment(new PrintTotals);

// How densely faults are placed: points in the enumeration; the first requests of the ROM
// detection one by one (where one camera's failure used to stop the others' detection), then
// points over the rest of it; points over the whole run; and whether every fault goes on every
// camera of the line in turn (or on one camera, changing from fault to fault).
struct Density {
    int enumeration, detectionHead, detection, whole;
    bool everyPosition;
};

Density sweepDensity() {
    constexpr Density kQuick{1, 2, 4, 4, false}, kStandard{2, 6, 12, 8, false}, kFull{4, 12, 24, 12, true};
    if (const char* v = std::getenv("LUMO_FAULT_SWEEP")) {
        const std::string s(v);
        if (s == "full") return kFull;
        if (s == "quick") return kQuick;
    }
#if defined(__SANITIZE_THREAD__)
    constexpr bool kThreadSanitizer = true;
#else
    constexpr bool kThreadSanitizer = false;
#endif
    return kThreadSanitizer ? kQuick : kStandard;
}

// n request numbers spread evenly over [first, last], both ends included.
std::vector<std::uint64_t> spread(std::uint64_t first, std::uint64_t last, int n) {
    std::vector<std::uint64_t> out;
    if (last < first || n <= 0) return out;
    const std::uint64_t span = last - first;
    if (span + 1 <= static_cast<std::uint64_t>(n)) {
        for (std::uint64_t k = first; k <= last; ++k) out.push_back(k);
        return out;
    }
    for (int i = 0; i < n; ++i) out.push_back(first + (n == 1 ? 0 : span * static_cast<std::uint64_t>(i) / (n - 1)));
    return out;
}

class FaultSweep : public ::testing::TestWithParam<LineCase> {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/lumomp-faults-XXXXXX";
        m_dir = mkdtemp(tmpl);
        const LineCase& line = GetParam();
        const std::uint32_t rom = romBytes(line.rom);
        // The whole-erase plan writes at least 16 KB and 32 bytes whatever the image's length.
        m_image = makeImage(line.rom == RomCase::Eeprom2K ? 2048 : 16384, rom, 0);
        if (line.preImaged) m_preImage = makeImage(m_image.size(), rom, 1);
        std::ofstream(m_dir / "fw.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(m_image.data()), static_cast<std::streamsize>(m_image.size()));
        // The fixture's size is known: a camera that never registered must not go unnoticed.
        std::ofstream(m_dir / "LumoMP.ini") << "[SETTING]\nBinFile=fw.bin\nExpectedCount=" << line.cameras << "\n";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    CameraConfig cameraConfig(int position) const {
        const LineCase& line = GetParam();
        CameraConfig c;
        c.name = c.instance = "cam" + std::to_string(position);
        c.pid = static_cast<std::uint16_t>(kPidBase + position);
        c.em = line.rom == RomCase::SpiEm;
        if (line.rom == RomCase::Eeprom2K || line.rom == RomCase::Eeprom32K) {
            c.rom = RomKind::Eeprom;
            c.eepromBytes = romBytes(line.rom);
        }
        c.image = m_preImage;
        return c;
    }

    std::shared_ptr<EmuWorld> buildWorld(const Fault& fault) const {
        auto world = std::make_shared<EmuWorld>();
        for (int i = 0; i < GetParam().cameras; ++i) {
            CameraConfig c = cameraConfig(i);
            if (fault.kind != Fault::Kind::None && fault.camera == static_cast<std::size_t>(i)) fault.applyTo(c.faults);
            world->addCamera(c);
        }
        return world;
    }

    bool holdsImage(const std::vector<std::uint8_t>& rom) const {
        return rom.size() >= m_image.size() && std::equal(m_image.begin(), m_image.end(), rom.begin());
    }

    // Per camera: the requests that enumeration and then ROM detection leave behind.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> detectionRegions() {
        auto clock = VirtualClock::install();
        auto world = buildWorld(Fault{});
        lumo::os::installDeviceWorld(world);
        world->settle();
        std::vector<std::pair<std::uint64_t, std::uint64_t>> out(static_cast<std::size_t>(GetParam().cameras));
        TAVIX_EnumDevs();
        for (std::size_t i = 0; i < out.size(); ++i) out[i].first = world->camera(i).requestCount();
        TAVIX_QueryExtRom();
        for (std::size_t i = 0; i < out.size(); ++i) out[i].second = world->camera(i).requestCount();
        TAVIX_FreeDevs();
        lumo::os::installDeviceWorld(nullptr);
        world.reset();
        lumo::os::installClock(nullptr);
        return out;
    }

    // One run as the operator makes it: open the window (enumeration and detection), click
    // "Upgrade FW", wait for the end. Runs on its own thread, which is the window thread.
    RunRecord runOnce(const Fault& fault) {
        RunRecord rec;
        const int n = GetParam().cameras;
        auto clock = VirtualClock::install();
        auto world = buildWorld(fault);
        lumo::os::installDeviceWorld(world);
        world->settle();  // the plug-in notices go to nobody: the window enumerates by itself
        {
            RecordingDialogLayer layer((m_dir / "LumoMP").wstring());
            CLumoMPDlg dlg(layer);
            std::optional<MP_RUN_SUMMARY> summary;
            dlg.SetRunEndedHandler([&](const MP_RUN_SUMMARY& s) { summary = s; });
            dlg.OnInitDialog();
            world->settle();
            while (layer.Pump()) {
            }
            const bool clickable = layer.enabled[IDC_BUTTON_UPGRADE_FW];
            const std::size_t boxesBefore = layer.boxes.size();
            if (clickable) {
                dlg.OnBnClickedButtonUpgradeFwMp();
                dlg.WaitForRunEnd();
            }
            const std::wstring statusAtEnd = layer.texts[IDC_STATIC_STATUS];
            while (layer.Pump()) {
            }
            judge(rec, clickable, summary, statusAtEnd, layer.boxes.size() > boxesBefore, *world);
            // The notices that follow a failed run (a camera that left) must not make the window
            // look like a good run: the failed run's results stay on show.
            if (summary && !summary->bRefused && !summary->bSuccess &&
                (layer.shownResults.empty() || layer.shownResults.back().bSuccess ||
                 layer.shownResults.back().bInProgress))
                rec.violations.push_back("after the run the window no longer shows its failures");
            if (layer.offThreadCalls != 0) rec.violations.push_back("window controls used off the window thread");
        }
        for (int i = 0; i < n; ++i) {
            auto& cam = world->camera(static_cast<std::size_t>(i));
            rec.requests.push_back(cam.requestCount());
            std::set<std::uint32_t> sel;
            for (const auto& r : cam.requests())
                if (r.isVendor()) sel.insert(r.selector);
            rec.selectors.push_back(std::move(sel));
        }
        lumo::os::installDeviceWorld(nullptr);
        world.reset();
        lumo::os::installClock(nullptr);
        return rec;
    }

    void judge(RunRecord& rec, bool clickable, const std::optional<MP_RUN_SUMMARY>& summary,
               const std::wstring& statusAtEnd, bool boxShown, EmuWorld& world) const {
        const int n = GetParam().cameras;
        auto say = [&rec](const std::string& s) { rec.violations.push_back(s); };
        rec.refused = !clickable || (summary && summary->bRefused);
        if (!clickable) {
            // Nothing could be started: the window shows no camera ready, which is no success.
            if (statusAtEnd == kStatusReady) say("\"Upgrade FW\" is off but the status says ready");
            return;
        }
        if (!summary) {
            say("the run ended without a result");
            return;
        }
        if (summary->bRefused) {
            // Refused at the click (a camera of the line missing, say): a message box says why.
            if (!boxShown) say("the click was refused without a message box");
            if (summary->bSuccess) say("a refused click is called good");
        }
        bool allOk = !summary->cameras.empty();
        for (const auto& r : summary->cameras) {
            const int pos = r.wPid - kPidBase;
            const std::string who = "camera index " + std::to_string(r.bDevIdx);
            if (r.eOutcome == MP_CAMERA_RESULT::Outcome::Ok) {
                if (pos < 0 || pos >= n) {
                    say(who + " is OK but cannot be traced to a camera of the line");
                    continue;
                }
                const auto rom = world.camera(static_cast<std::size_t>(pos)).rom();
                if (!holdsImage(rom)) {
                    std::size_t at = 0;
                    while (at < m_image.size() && at < rom.size() && rom[at] == m_image[at]) ++at;
                    char buf[96];
                    std::snprintf(buf, sizeof buf, " (camera %d) is OK but its ROM differs from the image at 0x%04zX",
                                  pos, at);
                    say(who + buf);
                    continue;
                }
                ++rec.proven;
            } else {
                allOk = false;
                if (r.szReason.empty())
                    say(who + " is not OK and gives no reason");
                else
                    ++rec.caught;
            }
        }
        rec.success = summary->bSuccess;
        if (summary->bSuccess) {
            if (!allOk) say("the run is called good while a served camera is not OK");
            for (int i = 0; i < n; ++i) {
                const bool served = std::any_of(summary->cameras.begin(), summary->cameras.end(),
                                                [&](const MP_CAMERA_RESULT& r) { return r.wPid - kPidBase == i; });
                if (!served)
                    say("the run is called good but camera " + std::to_string(i) + " of the line was not served");
            }
        } else if (!summary->bRefused && statusAtEnd == kStatusReady) {
            say("the run failed but the status says ready");
        }
    }

    // Runs one case with a bound on its real time; a run that does not end stops the program,
    // since its threads cannot be taken back.
    RunRecord runBounded(const Fault& fault) {
        std::packaged_task<RunRecord()> task([this, fault] { return runOnce(fault); });
        auto result = task.get_future();
        std::thread t(std::move(task));
        if (result.wait_for(kRunTimeout) != std::future_status::ready) {
            ADD_FAILURE() << lineName(GetParam()) << ", " << fault.text() << ": the run did not end within "
                          << kRunTimeout.count() << " s";
            std::fflush(stdout);
            std::_Exit(1);
        }
        t.join();
        RunRecord rec = result.get();
        ++g_totals.runs;
        g_totals.refused += rec.refused ? 1 : 0;
        g_totals.caught += rec.caught;
        g_totals.proven += rec.proven;
        return rec;
    }

    std::filesystem::path m_dir;
    std::vector<std::uint8_t> m_image, m_preImage;
};

TEST_P(FaultSweep, EveryVerdictHolds) {
    const LineCase& line = GetParam();
    const Density d = sweepDensity();

    const auto regions = detectionRegions();
    const RunRecord clean = runBounded(Fault{});
    {
        SCOPED_TRACE(lineName(line) + ", no fault");
        for (const auto& v : clean.violations) ADD_FAILURE() << v;
        ASSERT_TRUE(clean.success) << "the line must upgrade cleanly without a fault";
        ASSERT_EQ(clean.proven, line.cameras);
    }

    std::vector<Fault> faults;
    for (int pos = 0; pos < line.cameras; ++pos) {
        const auto p = static_cast<std::size_t>(pos);
        std::set<std::uint64_t> ks;
        for (auto k : spread(1, regions[p].first, d.enumeration)) ks.insert(k);
        const std::uint64_t detectionStart = regions[p].first + 1;
        for (auto k : spread(detectionStart, detectionStart + d.detectionHead - 1, d.detectionHead))
            if (k <= regions[p].second) ks.insert(k);
        for (auto k : spread(detectionStart, regions[p].second, d.detection)) ks.insert(k);
        for (auto k : spread(1, clean.requests[p], d.whole)) ks.insert(k);
        std::vector<Fault> mine;
        for (auto k : ks) {
            mine.push_back({Fault::Kind::FailRequest, k, p});
            mine.push_back({Fault::Kind::VanishAt, k, p});
        }
        for (auto s : clean.selectors[p]) mine.push_back({Fault::Kind::FailSelector, s, p});
        mine.push_back({Fault::Kind::FlashBusy, 0, p});
        mine.push_back({Fault::Kind::SpiStuck, 0, p});
        faults.insert(faults.end(), mine.begin(), mine.end());
    }
    if (!d.everyPosition && line.cameras > 1) {
        // One position a fault, in turn: every place in the run still meets every camera.
        std::vector<Fault> turned;
        std::size_t i = 0;
        for (const auto& f : faults)
            if (f.camera == 0) {
                Fault g = f;
                g.camera = i++ % static_cast<std::size_t>(line.cameras);
                // keep k within the request count of the camera it now goes to
                if (g.kind == Fault::Kind::FailRequest || g.kind == Fault::Kind::VanishAt)
                    g.value = std::min<std::uint64_t>(g.value, clean.requests[g.camera]);
                turned.push_back(g);
            }
        faults.swap(turned);
    }

    int runs = 0, refused = 0, caught = 0, proven = 0, broken = 0;
    for (const auto& fault : faults) {
        SCOPED_TRACE(lineName(line) + ", " + fault.text());
        const RunRecord rec = runBounded(fault);
        for (const auto& v : rec.violations) ADD_FAILURE() << v;
        ++runs;
        refused += rec.refused ? 1 : 0;
        caught += rec.caught;
        proven += rec.proven;
        broken += rec.violations.empty() ? 0 : 1;
    }
    std::string selectors;
    for (auto sel : clean.selectors[0]) {
        char buf[8];
        std::snprintf(buf, sizeof buf, " 0x%02X", static_cast<unsigned>(sel));
        selectors += buf;
    }
    std::printf(
        "%s: %d runs with a fault (%d broke the verdict, %d refused), %d faults caught, %d OKs proven "
        "(requests per camera %llu, detection %llu..%llu, selectors%s)\n",
        lineName(line).c_str(), runs, broken, refused, caught, proven,
        static_cast<unsigned long long>(clean.requests[0]), static_cast<unsigned long long>(regions[0].first + 1),
        static_cast<unsigned long long>(regions[0].second), selectors.c_str());
}

std::vector<LineCase> allLines() {
    std::vector<LineCase> out;
    for (int cameras : {1, 3})
        for (RomCase rom : {RomCase::Spi, RomCase::SpiEm, RomCase::Eeprom2K, RomCase::Eeprom32K})
            for (bool pre : {false, true}) out.push_back({cameras, rom, pre});
    return out;
}

INSTANTIATE_TEST_SUITE_P(Lines, FaultSweep, ::testing::ValuesIn(allLines()),
                         [](const ::testing::TestParamInfo<LineCase>& info) { return lineName(info.param); });

}  // namespace
}  // namespace lumo::tool::test
