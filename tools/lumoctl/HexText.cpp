#include "tools/lumoctl/HexText.h"

#include <cctype>
#include <cstdio>

namespace lumoctl {

std::optional<std::uint32_t> ParseHexNumber(const std::string& text, std::uint64_t max) {
    std::size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) i = 2;
    if (i == text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
        if (value > max) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<Bytes> ParseHexBytes(const std::vector<std::string>& words) {
    Bytes out;
    for (const auto& word : words) {
        std::string token;
        auto flush = [&]() -> bool {
            if (token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) token.erase(0, 2);
            if (token.empty()) return true;
            if (token.size() == 1) token.insert(token.begin(), '0');
            if (token.size() % 2 != 0) return false;
            for (std::size_t i = 0; i < token.size(); i += 2) {
                auto v = ParseHexNumber(token.substr(i, 2), 0xFF);
                if (!v) return false;
                out.push_back(static_cast<std::uint8_t>(*v));
            }
            token.clear();
            return true;
        };
        for (char c : word) {
            if (c == ' ' || c == ',' || c == ':' || c == '\t') {
                if (!flush()) return std::nullopt;
            } else {
                token += c;
            }
        }
        if (!flush()) return std::nullopt;
    }
    return out;
}

std::string HexBytes(const std::uint8_t* data, std::size_t length) {
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(b, sizeof b, "%02X", data[i]);
        if (i) out += ' ';
        out += b;
    }
    return out;
}

std::string HexDump(std::uint32_t address, const std::uint8_t* data, std::size_t length) {
    std::string out;
    char b[16];
    for (std::size_t row = 0; row < length; row += 16) {
        std::snprintf(b, sizeof b, "%04X: ", static_cast<unsigned>(address + row));
        out += b;
        std::string text;
        for (std::size_t i = 0; i < 16; ++i) {
            if (row + i < length) {
                std::snprintf(b, sizeof b, "%02X ", data[row + i]);
                out += b;
                const auto c = static_cast<unsigned char>(data[row + i]);
                text += std::isprint(c) ? static_cast<char>(c) : '.';
            } else {
                out += "   ";
            }
        }
        out += ' ';
        out += text;
        out += '\n';
    }
    return out;
}

std::string JsonEscape(const std::string& text) {
    std::string out;
    char b[8];
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            std::snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string Hex4(std::uint32_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%04X", v & 0xFFFFu);
    return b;
}

}  // namespace lumoctl
