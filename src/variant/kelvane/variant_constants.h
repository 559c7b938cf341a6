// Product constants of Kelvane: three inputs and three outputs.
#pragma once

#include "variant/product.h"

namespace variant {
inline constexpr Product product = Product::Kelvane;
inline constexpr char productName[] = "Kelvane";
inline constexpr char settingsExtension[] = "kvx";
inline constexpr int inputCount = 3;
inline constexpr int outputCount = 3;
}  // namespace variant
