// A picture as a PNG file: 8-bit RGB, the image data in stored (not
// compressed) deflate blocks, so that no compression library is needed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace history {

// Pixels row by row from the top left, each red in bits 0-7, green 8-15,
// blue 16-23, as the program's colours are held.
std::string encodePng(int width, int height, std::span<const std::uint32_t> pixels);

// The check values the format uses (ISO 3309 CRC-32, and zlib's Adler-32).
std::uint32_t crc32(std::string_view bytes);
std::uint32_t adler32(std::string_view bytes);

}  // namespace history
