#include "history/png_image.h"

#include <algorithm>
#include <array>

namespace history {

namespace {

// Stored deflate blocks hold at most this many bytes.
constexpr std::size_t maxStoredBlock = 65535;

std::array<std::uint32_t, 256> crcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFFu));
    }
}

void putChunk(std::string& out, std::string_view type, std::string_view data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string checked(type);
    checked.append(data);
    out.append(checked);
    putBigEndian(out, crc32(checked));
}

// A zlib stream of stored blocks.
std::string storedZlib(std::string_view raw) {
    std::string out = "\x78\x01";
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(maxStoredBlock, raw.size() - offset);
        const bool last = offset + length == raw.size();
        out.push_back(last ? '\x01' : '\x00');
        const auto len = static_cast<std::uint16_t>(length);
        const auto nlen = static_cast<std::uint16_t>(~len);
        out.push_back(static_cast<char>(len & 0xFF));
        out.push_back(static_cast<char>(len >> 8));
        out.push_back(static_cast<char>(nlen & 0xFF));
        out.push_back(static_cast<char>(nlen >> 8));
        out.append(raw.substr(offset, length));
        offset += length;
    } while (offset < raw.size());
    putBigEndian(out, adler32(raw));
    return out;
}

}  // namespace

std::uint32_t crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = crcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        c = table[(c ^ static_cast<unsigned char>(byte)) & 0xFFu] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(std::string_view bytes) {
    constexpr std::uint32_t modulus = 65521;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char byte : bytes) {
        a = (a + static_cast<unsigned char>(byte)) % modulus;
        b = (b + a) % modulus;
    }
    return (b << 16) | a;
}

std::string encodePng(int width, int height, std::span<const std::uint32_t> pixels) {
    const auto w = static_cast<std::size_t>(std::max(width, 0));
    const auto h = static_cast<std::size_t>(std::max(height, 0));
    std::string raw;
    raw.reserve(h * (1 + 3 * w));
    for (std::size_t y = 0; y < h; ++y) {
        raw.push_back('\0');  // filter type None
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t index = y * w + x;
            const std::uint32_t pixel = index < pixels.size() ? pixels[index] : 0;
            raw.push_back(static_cast<char>(pixel & 0xFFu));
            raw.push_back(static_cast<char>((pixel >> 8) & 0xFFu));
            raw.push_back(static_cast<char>((pixel >> 16) & 0xFFu));
        }
    }
    std::string header;
    putBigEndian(header, static_cast<std::uint32_t>(w));
    putBigEndian(header, static_cast<std::uint32_t>(h));
    // 8 bits per sample, RGB, deflate, adaptive filtering, no interlace.
    header.append("\x08\x02\x00\x00\x00", 5);

    std::string png = "\x89PNG\r\n\x1a\n";
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", storedZlib(raw));
    putChunk(png, "IEND", "");
    return png;
}

}  // namespace history
