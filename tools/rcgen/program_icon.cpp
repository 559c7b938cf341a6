#include "program_icon.h"

#include <array>

namespace rcgen {
namespace {

struct Pixel {
    std::uint8_t blue, green, red, alpha;
};

constexpr Pixel transparent{0, 0, 0, 0};
constexpr Pixel panel{0x5A, 0x3C, 0x28, 0xFF};
constexpr Pixel frame{0x2A, 0x1A, 0x10, 0xFF};
constexpr Pixel lampRed{0x00, 0x00, 0xFF, 0xFF};
constexpr Pixel lampBlack{0x00, 0x00, 0x00, 0xFF};
constexpr Pixel lampGrey{0x7F, 0x7F, 0x7F, 0xFF};

// The design on a 16 by 16 grid: a framed panel with one lamp per row.
Pixel designAt(int x, int y) {
    if (x < 1 || x > 14 || y < 1 || y > 14) return transparent;
    if (x == 1 || x == 14 || y == 1 || y == 14) return frame;
    constexpr std::array<Pixel, 3> lamps{lampRed, lampBlack, lampGrey};
    for (int row = 0; row < 3; ++row) {
        const int top = 3 + row * 4;
        if (y >= top && y < top + 3) {
            if (x >= 9 && x <= 11) return lamps[row];
            if (x >= 3 && x <= 7 && y == top + 1) return frame;
        }
    }
    return panel;
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One icon image: a bitmap header, 32-bit pixels bottom-up, and an AND mask
// of zeros (the alpha channel decides).
std::vector<std::uint8_t> iconImage(int size) {
    std::vector<std::uint8_t> image;
    const auto side = static_cast<std::uint32_t>(size);
    put32(image, 40);
    put32(image, side);
    put32(image, side * 2);  // colour and mask rows together
    put16(image, 1);
    put16(image, 32);
    for (int i = 0; i < 6; ++i) put32(image, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Pixel pixel = designAt(x * 16 / size, y * 16 / size);
            image.insert(image.end(), {pixel.blue, pixel.green, pixel.red, pixel.alpha});
        }
    }
    const std::size_t maskRowBytes = (side + 31) / 32 * 4;
    image.insert(image.end(), maskRowBytes * side, 0);
    return image;
}

}  // namespace

std::vector<std::uint8_t> programIconFile() {
    constexpr std::array<int, 2> sizes{16, 32};
    std::array<std::vector<std::uint8_t>, 2> images{iconImage(sizes[0]), iconImage(sizes[1])};

    std::vector<std::uint8_t> file;
    put16(file, 0);
    put16(file, 1);  // icon
    put16(file, static_cast<std::uint32_t>(sizes.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        file.push_back(static_cast<std::uint8_t>(sizes[i]));
        file.push_back(static_cast<std::uint8_t>(sizes[i]));
        file.push_back(0);  // no palette
        file.push_back(0);
        put16(file, 1);   // planes
        put16(file, 32);  // bits per pixel
        put32(file, static_cast<std::uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    return file;
}

}  // namespace rcgen
