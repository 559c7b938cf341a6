// Product constants of Sorrel: five inputs, no outputs.
#pragma once

#include "variant/product.h"

namespace variant {
inline constexpr Product product = Product::Sorrel;
inline constexpr char productName[] = "Sorrel";
inline constexpr char settingsExtension[] = "srx";
inline constexpr int inputCount = 5;
inline constexpr int outputCount = 0;
}  // namespace variant
