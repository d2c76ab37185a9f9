#pragma once
// Number and byte-string forms of lumoctl's arguments and output.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumoctl {

using Bytes = std::vector<std::uint8_t>;

// A hexadecimal number with or without "0x"; nothing when malformed or above max.
std::optional<std::uint32_t> ParseHexNumber(const std::string& text, std::uint64_t max = 0xFFFFFFFFu);
// Hex bytes: "0102", "01 02", "0x01,0x02" (words are joined).
std::optional<Bytes> ParseHexBytes(const std::vector<std::string>& words);
// "01 02 03"
std::string HexBytes(const std::uint8_t* data, std::size_t length);
// Classic dump: address, 16 bytes, their printable characters.
std::string HexDump(std::uint32_t address, const std::uint8_t* data, std::size_t length);
// Text for a JSON string value.
std::string JsonEscape(const std::string& text);
std::string Hex4(std::uint32_t v);  // "2E1A"

}  // namespace lumoctl
