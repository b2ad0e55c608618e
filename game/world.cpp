#include "game/world.h"

#include <cmath>

namespace game {

namespace {
uint32_t g_random_state = 0;
}

uint32_t Random(uint32_t n) {
  g_random_state = g_random_state * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(n) * g_random_state) >> 32);
}

uint32_t random_state() { return g_random_state; }

void set_random_state(uint32_t state) { g_random_state = state; }

int64_t Round(long double v) {
  // nearbyint follows the current rounding mode, which the program never
  // changes from round-to-nearest-even.
  return static_cast<int64_t>(std::nearbyintl(v));
}

namespace {

// The angle of slope r in heading units, rounded.
int64_t heading_units_of_slope(long double r) {
  constexpr long double pi = 3.14159265358979323846264338327950288L;
  return Round(std::atan(r) * 180.0L / pi * 255.0L / 360.0L);
}

}  // namespace

int16_t heading_towards(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  constexpr long double eps = 0.0001L;
  int16_t result = 0;
  // The four cases do not overlap; each adds its quadrant offset in 16 bits.
  if (y1 < y2 && x2 <= x1) {
    const long double r =
        -(static_cast<long double>(x1 - x2) / (static_cast<long double>(y1 - y2) + eps)) + eps;
    result = static_cast<int16_t>(heading_units_of_slope(r) + 128);
  }
  if (y1 >= y2 && x2 < x1) {
    const long double r =
        -(static_cast<long double>(y2 - y1) / (static_cast<long double>(x1 - x2) + eps)) + eps;
    result = static_cast<int16_t>(heading_units_of_slope(r) + 192);
  }
  if (y1 > y2 && x2 >= x1) {
    const long double r =
        -(static_cast<long double>(x1 - x2) / (static_cast<long double>(y1 - y2) + eps)) + eps;
    result = static_cast<int16_t>(heading_units_of_slope(r));
  }
  if (y1 <= y2 && x2 > x1) {
    const long double r =
        -(static_cast<long double>(y1 - y2) / (static_cast<long double>(x2 - x1) + eps)) + eps;
    result = static_cast<int16_t>(heading_units_of_slope(r) + 64);
  }
  // Nearly straight above and a little to the left gives 256: it becomes 0.
  if (result > 255 || result < 0) result = 0;
  return result;
}

bool target_in_heading_quadrant(int32_t tx, int32_t ty, int32_t sx, int32_t sy, uint8_t h) {
  if (sy > ty && sx < tx && h > 0 && h < 63) return true;
  if (sy < ty && sx < tx && h > 63 && h < 127) return true;
  if (sy < ty && sx > tx && h > 127 && h < 191) return true;
  if (sy > ty && sx > tx && h > 191 && h < 255) return true;
  return false;
}

}  // namespace game
