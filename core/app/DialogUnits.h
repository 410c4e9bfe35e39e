#pragma once
// Dialog units of the form templates to pixels. A horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height, each rounded to the nearest
// pixel as the original platform's mapping does.

namespace velmora {

struct DialogBaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // character height in pixels
};

constexpr int MulDivRound(int value, int mul, int div) {
  const long long product = static_cast<long long>(value) * mul;
  const long long half = div / 2;
  return static_cast<int>(product >= 0 ? (product + half) / div : (product - half) / div);
}

constexpr int DialogToPixelsX(int units, DialogBaseUnits base) {
  return MulDivRound(units, base.x, 4);
}
constexpr int DialogToPixelsY(int units, DialogBaseUnits base) {
  return MulDivRound(units, base.y, 8);
}

}  // namespace velmora
