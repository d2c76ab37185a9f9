// lumoctl's `osd` and `h264` commands: get and set of each OSD and encoder record through
// the exports, records written and shown as hex bytes.
//
//   osd enable get | enable set 0|1 | reset | hdr
//   osd time get | time set HEX8          osd string get SLOT | string set SLOT HEX16
//   osd window get | window set HEX9      osd color get | color set HEX9
//   h264 version | ratectrl get | ratectrl set HEX4 | bitrate get | bitrate set HEX12
//   h264 qp get TYPE | qp set HEX6 | frametype set HEX4 | reset HEX2
//
// HEX is one or more words of hex digits ("0102", "01 02", "0x01,0x02"); a record must
// have exactly its size. Failures print the reason on stderr and end with exit status 1.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "sdk/LumoSDK.h"
#include "tools/lumoctl/OsdH264Commands.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Context {
    std::function<std::uint8_t()> index;
    std::function<bool()> json;
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "lumoctl: %s\n", why.c_str());
    throw CLI::RuntimeError(1);
}

std::optional<Bytes> parseHex(const std::vector<std::string>& words) {
    Bytes out;
    for (const auto& word : words) {
        std::string token;
        auto flush = [&]() -> bool {
            if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) token.erase(0, 2);
            if (token.empty()) return true;
            if (token.size() % 2 != 0) {
                if (token.size() != 1) return false;
                token.insert(token.begin(), '0');
            }
            for (std::size_t i = 0; i < token.size(); i += 2) {
                if (!std::isxdigit(static_cast<unsigned char>(token[i])) ||
                    !std::isxdigit(static_cast<unsigned char>(token[i + 1])))
                    return false;
                out.push_back(static_cast<std::uint8_t>(std::stoul(token.substr(i, 2), nullptr, 16)));
            }
            token.clear();
            return true;
        };
        for (char c : word) {
            if (c == ' ' || c == ',' || c == ':' || c == '\t') {
                if (!flush()) return std::nullopt;
            } else {
                token.push_back(c);
            }
        }
        if (!flush()) return std::nullopt;
    }
    return out;
}

Bytes recordArg(const std::vector<std::string>& words, std::size_t size, const char* what) {
    const auto bytes = parseHex(words);
    if (!bytes) fail(std::string(what) + ": not hex bytes");
    if (bytes->size() != size)
        fail(std::string(what) + ": needs " + std::to_string(size) + " bytes, got " + std::to_string(bytes->size()));
    return *bytes;
}

std::uint8_t byteArg(const std::string& text, const char* what) {
    const auto bytes = parseHex({text});
    if (!bytes || bytes->size() != 1) fail(std::string(what) + ": one hex byte expected");
    return (*bytes)[0];
}

std::string hex(const std::uint8_t* p, std::size_t n) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", p[i]);
        s += buf;
    }
    return s;
}

void show(const Context& ctx, const char* name, const std::string& value) {
    if (ctx.json())
        std::printf("{\"index\":%u,\"%s\":\"%s\"}\n", static_cast<unsigned>(ctx.index()), name, value.c_str());
    else
        std::printf("%s\n", value.c_str());
}

// The registry holds the cameras when the host enumerated already; else enumerate now.
void ensureCameras() {
    std::uint8_t count = 0;
    TAVIX_GetDevCount(&count);
    if (count == 0) TAVIX_EnumDevs();
    TAVIX_GetDevCount(&count);
    if (count == 0) fail("no camera found");
}

void check(std::int32_t result, const char* what) {
    if (result == 0) fail(std::string(what) + " failed");
}

// A record command pair: `NAME get` reads into SIZE bytes, `NAME set HEX` writes them.
struct RecordOps {
    const char* name;
    const char* description;
    std::size_t size;
    std::function<std::int32_t(std::uint8_t*, std::uint8_t)> get;        // may be empty
    std::function<std::int32_t(const std::uint8_t*, std::uint8_t)> set;  // may be empty
};

void addRecord(CLI::App& parent, const std::shared_ptr<Context>& ctx, RecordOps ops) {
    auto* cmd = parent.add_subcommand(ops.name, ops.description);
    cmd->require_subcommand(1);
    auto shared = std::make_shared<RecordOps>(std::move(ops));
    if (shared->get) {
        cmd->add_subcommand("get", "read the record")->callback([ctx, shared] {
            ensureCameras();
            Bytes rec(shared->size, 0);
            check(shared->get(rec.data(), ctx->index()), shared->name);
            show(*ctx, shared->name, hex(rec.data(), rec.size()));
        });
    }
    if (shared->set) {
        auto* set = cmd->add_subcommand("set", "write the record");
        auto words = std::make_shared<std::vector<std::string>>();
        set->add_option("HEX", *words, "the record's bytes in hex")->required();
        set->callback([ctx, shared, words] {
            const Bytes rec = recordArg(*words, shared->size, shared->name);
            ensureCameras();
            check(shared->set(rec.data(), ctx->index()), shared->name);
        });
    }
}

void addOsd(CLI::App& app, const std::shared_ptr<Context>& ctx) {
    auto* osd = app.add_subcommand("osd", "on-screen display");
    osd->require_subcommand(1);

    auto* enable = osd->add_subcommand("enable", "display on or off");
    enable->require_subcommand(1);
    enable->add_subcommand("get", "read the enable state")->callback([ctx] {
        ensureCameras();
        std::uint8_t on = 0;
        check(TAVIX_OsdEnableGet(&on, ctx->index()), "osd enable get");
        show(*ctx, "enable", hex(&on, 1));
    });
    auto* enableSet = enable->add_subcommand("set", "switch the display");
    auto onValue = std::make_shared<int>(0);
    enableSet->add_option("ON", *onValue, "1 on, 0 off")->required();
    enableSet->callback([ctx, onValue] {
        ensureCameras();
        check(TAVIX_OsdEnableSet(*onValue, ctx->index()), "osd enable set");
    });

    osd->add_subcommand("reset", "reset the display")->callback([ctx] {
        ensureCameras();
        check(TAVIX_OsdReset(ctx->index()), "osd reset");
    });
    osd->add_subcommand("hdr", "HDR write")->callback([ctx] {
        ensureCameras();
        check(TAVIX_OsdHdrWrtie(ctx->index()), "osd hdr");
    });

    addRecord(*osd, ctx, {"time", "8-byte time record", 8, TAVIX_OsdTimeSyncGet, TAVIX_OsdTimeSyncSet});
    addRecord(*osd, ctx, {"window", "9-byte window record", 9, TAVIX_OsdWindowGet, TAVIX_OsdWindowSet});
    addRecord(*osd, ctx, {"color", "9-byte colour record", 9, TAVIX_OsdColorGet, TAVIX_OsdColorSet});

    auto* str = osd->add_subcommand("string", "16-byte string record of a slot");
    str->require_subcommand(1);
    auto slot = std::make_shared<std::string>();
    auto* strGet = str->add_subcommand("get", "read the string of a slot");
    strGet->add_option("SLOT", *slot, "slot (hex byte)")->required();
    strGet->callback([ctx, slot] {
        const std::uint8_t s = byteArg(*slot, "slot");
        ensureCameras();
        std::uint8_t rec[16] = {};
        check(TAVIX_OsdStringGet(s, rec, ctx->index()), "osd string get");
        show(*ctx, "string", hex(rec, sizeof rec));
    });
    auto* strSet = str->add_subcommand("set", "write the string of a slot");
    auto words = std::make_shared<std::vector<std::string>>();
    strSet->add_option("SLOT", *slot, "slot (hex byte)")->required();
    strSet->add_option("HEX", *words, "the record's 16 bytes in hex")->required();
    strSet->callback([ctx, slot, words] {
        const std::uint8_t s = byteArg(*slot, "slot");
        const Bytes rec = recordArg(*words, 16, "string");
        ensureCameras();
        check(TAVIX_OsdStringSet(s, rec.data(), ctx->index()), "osd string set");
    });
}

void addH264(CLI::App& app, const std::shared_ptr<Context>& ctx) {
    auto* h264 = app.add_subcommand("h264", "H.264 encoder");
    h264->require_subcommand(1);

    h264->add_subcommand("version", "the encoder unit's version")->callback([ctx] {
        ensureCameras();
        std::uint16_t v = 0;
        check(TAVIX_GetH264CtrlVer(&v, ctx->index()), "h264 version");
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04X", v);
        show(*ctx, "version", buf);
    });
    addRecord(*h264, ctx,
              {"ratectrl", "4-byte rate-control record", 4, TAVIX_H264RateCtrlModeGet, TAVIX_H264RateCtrlModeSet});
    addRecord(*h264, ctx,
              {"bitrate", "12-byte bit-rate record", 12, TAVIX_H264BitRateTargetGet, TAVIX_H264BitRateTargetSet});
    addRecord(*h264, ctx, {"frametype", "4-byte next-frame-type record", 4, {}, TAVIX_H264NextFrameTypeSet});

    auto* qp = h264->add_subcommand("qp", "6-byte QP-steps record of a frame type");
    qp->require_subcommand(1);
    auto type = std::make_shared<std::string>();
    auto* qpGet = qp->add_subcommand("get", "read the QP steps of a frame type");
    qpGet->add_option("TYPE", *type, "frame type (hex byte)")->required();
    qpGet->callback([ctx, type] {
        const std::uint8_t t = byteArg(*type, "frame type");
        ensureCameras();
        std::uint8_t rec[6] = {0, 0, t, 0, 0, 0};
        check(TAVIX_H264QpStepsGet(rec, ctx->index()), "h264 qp get");
        show(*ctx, "qp", hex(rec, sizeof rec));
    });
    auto* qpSet = qp->add_subcommand("set", "write a QP-steps record");
    auto words = std::make_shared<std::vector<std::string>>();
    qpSet->add_option("HEX", *words, "the record's 6 bytes in hex")->required();
    qpSet->callback([ctx, words] {
        const Bytes rec = recordArg(*words, 6, "qp");
        ensureCameras();
        check(TAVIX_H264QpStepsSet(rec.data(), ctx->index()), "h264 qp set");
    });

    auto* reset = h264->add_subcommand("reset", "reset the encoder (2-byte record: the layer)");
    auto resetWords = std::make_shared<std::vector<std::string>>();
    reset->add_option("HEX", *resetWords, "the record's 2 bytes in hex")->required();
    reset->callback([ctx, resetWords] {
        const Bytes rec = recordArg(*resetWords, 2, "reset");
        ensureCameras();
        check(TAVIX_H264Reset(rec.data(), ctx->index()), "h264 reset");
    });
}

}  // namespace

// Registers `osd` and `h264` on lumoctl's app. index and json are read when a command runs
// (after parsing), so they may point at the host's --index and --json options.
void addOsdH264Commands(CLI::App& app, std::function<std::uint8_t()> index, std::function<bool()> json) {
    auto ctx = std::make_shared<Context>(Context{std::move(index), std::move(json)});
    addOsd(app, ctx);
    addH264(app, ctx);
}
