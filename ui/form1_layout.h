// Form1's client area and controls in twips (1440 to the inch, 15 to a pixel at 96 DPI).
#pragma once

namespace vaultpick::layout {

struct Twips {
  int left, top, width, height;
};

inline constexpr int kClientWidth = 5025;
inline constexpr int kClientHeight = 4095;

inline constexpr Twips kCommand1{3150, 105, 870, 285};
inline constexpr Twips kText1{0, 0, 255, 285};
inline constexpr Twips kText2{105, 105, 3015, 285};
inline constexpr Twips kCommand2{4050, 105, 870, 285};
inline constexpr Twips kList1{105, 420, 4830, 3375};
inline constexpr Twips kProgressBar1{105, 3825, 4830, 180};

}  // namespace vaultpick::layout
