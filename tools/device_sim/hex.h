// Bytes as the simulator's user writes and reads them: hex pairs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

using Bytes = std::vector<std::uint8_t>;

// Hex bytes separated by blanks or commas, or written together: "FA F0 05",
// "fa,f0,05", "FAF005", "0xFA 0xF0 0x05", "5". Nothing else is accepted,
// and an empty text is no byte sequence either.
std::optional<Bytes> parseHex(std::string_view text);

// "FA F0 05": upper case, one blank between bytes.
std::string formatHex(std::span<const std::uint8_t> bytes);

}  // namespace devsim
