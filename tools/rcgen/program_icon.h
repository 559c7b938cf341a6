// The program icon as an .ico file: a panel with three signal lamps, drawn
// at 16 and 32 pixels so that no image file has to be kept in the tree.
#pragma once

#include <cstdint>
#include <vector>

namespace rcgen {

std::vector<std::uint8_t> programIconFile();

}  // namespace rcgen
