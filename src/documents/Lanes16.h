// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace quillet {

/// Whether one of the four 16-bit lanes of `word` is zero. The loops that take four
/// characters of a text at a time map the characters they cannot take to a zero lane.
constexpr bool AnyZeroLane16(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0001000100010001u;
    constexpr std::uint64_t kSigns = 0x8000800080008000u;
    return ((word - kOnes) & ~word & kSigns) != 0;
}

}  // namespace quillet
