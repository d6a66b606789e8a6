#include "demo/chart.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
  double r, g, b;
};

// Hue 0..6 (red, yellow, green, cyan, blue, magenta) at full saturation.
Colour Hue(double h) {
  const double x = 1 - std::fabs(std::fmod(h, 2) - 1);
  switch (int(h) % 6) {
    case 0:
      return {1, x, 0};
    case 1:
      return {x, 1, 0};
    case 2:
      return {0, 1, x};
    case 3:
      return {0, x, 1};
    case 4:
      return {x, 0, 1};
    default:
      return {1, 0, x};
  }
}

Colour Gray(double v) { return {v, v, v}; }

Colour Mix(const Colour &a, const Colour &b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The chart at one point, in units where the chart is 1200 by 800.
Colour ChartAt(double x, double y) {
  const Colour background = Gray(0.55);
  // A star of 48 spokes.
  double dx = x - 200, dy = y - 200, r = std::hypot(dx, dy);
  if (r < 180) {
    if (r < 4) return Gray(0.5);
    const double spoke = std::sin(24 * std::atan2(dy, dx));
    return Gray(spoke > 0 ? 0.92 : 0.08);
  }
  // A zone plate: rings closer and closer toward the rim.
  dx = x - 600, dy = y - 200, r = std::hypot(dx, dy);
  if (r < 180) return Gray(0.5 + 0.45 * std::cos(kPi * r * r / 360));
  // Bars of 8, 6, 4, 3 and 2 pixels' period, one group per row.
  if (x >= 820 && x < 1160 && y >= 30 && y < 370) {
    const double periods[] = {8, 6, 4, 3, 2};
    const int row = int((y - 30) / 68);
    if (std::fmod(y - 30, 68) > 56) return background;
    const double period = periods[row];
    return Gray(std::fmod(x - 820, period) < period / 2 ? 0.9 : 0.1);
  }
  // Six saturated patches, each with a fine darker lattice and a lighter
  // diagonal hatch: colour edges the colour weights act on.
  if (y >= 420 && y < 600 && x >= 30 && x < 1170) {
    const int patch = int((x - 30) / 190);
    const double px = std::fmod(x - 30, 190), py = y - 420;
    if (px >= 170) return background;
    const Colour c = Hue(patch);
    if (std::fmod(px, 12) < 1.5 || std::fmod(py, 12) < 1.5)
      return Mix(c, Gray(0), 0.45);
    if (std::fmod(px + py, 24) < 2) return Mix(c, Gray(1), 0.5);
    return c;
  }
  // Every hue left to right, fading to gray toward the bottom.
  if (y >= 630 && y < 710 && x >= 30 && x < 1170)
    return Mix(Hue(6 * (x - 30) / 1140), Gray(0.6), (y - 630) / 80);
  // A gray wedge of 16 steps.
  if (y >= 730 && y < 780 && x >= 30 && x < 1170)
    return Gray(int((x - 30) / 71.25) / 15.0);
  return background;
}

}  // namespace

HostImage MakeSampleChart(int32_t width, int32_t height, int32_t depth) {
  // Four by four samples per pixel, then a soft 3 by 3 blur: edges as a
  // good lens draws them, a little short of crisp.
  const int32_t n = 4;
  const double sx = 1200.0 / width, sy = 800.0 / height;
  std::vector<Colour> sharp(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      Colour sum{0, 0, 0};
      for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i) {
          const Colour c =
              ChartAt((x + (i + 0.5) / n) * sx, (y + (j + 0.5) / n) * sy);
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
        }
      sharp[size_t(y) * width + x] = {sum.r / (n * n), sum.g / (n * n),
                                      sum.b / (n * n)};
    }
  HostImage image = MakeImage(width, height, 3, depth);
  const double max = MaxSample(depth);
  const double weights[3] = {0.25, 0.5, 0.25};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      double sum[3] = {0, 0, 0};
      for (int32_t j = -1; j <= 1; ++j)
        for (int32_t i = -1; i <= 1; ++i) {
          const Colour &c =
              sharp[size_t(std::clamp(y + j, 0, height - 1)) * width +
                    size_t(std::clamp(x + i, 0, width - 1))];
          const double w = weights[i + 1] * weights[j + 1];
          sum[0] += w * c.r;
          sum[1] += w * c.g;
          sum[2] += w * c.b;
        }
      for (int32_t p = 0; p < 3; ++p)
        SampleAt(image, x, y, p) = uint16_t(std::lround(sum[p] * max));
    }
  return image;
}
