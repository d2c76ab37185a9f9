#pragma once
// The table of known SPI flash chips in search order; the last row is the default command
// set used whenever no chip is recognised.
#include <array>
#include <cstddef>

#include "sdk/device/SpiFlashDesc.h"

inline constexpr std::size_t kSpiFlashTableCount = 26;
inline constexpr std::size_t kSpiFlashDefaultRow = kSpiFlashTableCount - 1;
const std::array<SpiFlashDesc, kSpiFlashTableCount>& SpiFlashTable();
