#include <gtest/gtest.h>

#include <cmath>

#include "engine/table_math.h"

namespace {

// Where the C library is glibc: the tables must be the ones its pow and
// cos would give, for every value of the controls. Its cos and its pow on
// the gain, exponent and saturation arguments are correctly rounded;
// on the response curve's arguments it is one ulp off in a few cases
// next to a halfway point, which must never move a truncated entry.
#ifdef __GLIBC__
TEST(TableMath, TablesMatchGlibcForEverySetting) {
  const double kPi = 3.14159265358979323846;
  for (int32_t j = 0; j < 256; ++j) {
    const double angle = j * kPi * (1.0 / 255);
    EXPECT_EQ(ComputeCos(angle), std::cos(angle)) << j;
  }
  for (int32_t s = 0; s <= 1024; ++s) {
    const double x = s * (1.0 / 1024);
    EXPECT_EQ(ComputePow(x, 0.333), std::pow(x, 0.333)) << s;
  }
  for (int32_t control = 0; control <= 100; ++control) {
    EXPECT_EQ(ComputePow(control * 0.01, 3.0), std::pow(control * 0.01, 3.0));
    EXPECT_EQ(ComputePow(control * 0.01, 4.0), std::pow(control * 0.01, 4.0));
  }
  int32_t differingPowers = 0, movedEntries = 0;
  for (int32_t response = 0; response <= 100; ++response) {
    const double exponent = std::pow(response * 0.01, 4.0) * 50.0;
    for (int32_t i = 0; i <= 1024; ++i) {
      const double base = 1.0 - i * (1.0 / 1024);
      const double ours = ComputePow(base, exponent);
      const double theirs = std::pow(base, exponent);
      if (ours == theirs) continue;
      ++differingPowers;
      for (int32_t spread = 0; spread <= 100; ++spread) {
        const double gain = std::pow(spread * 0.01, 3.0) * 50.0;
        const double v1 = i * gain * (1.0 - ours) + 0.5;
        const double v2 = i * gain * (1.0 - theirs) + 0.5;
        movedEntries += int32_t(v1) != int32_t(v2) ||
                        int32_t(-3.0 * v1 * 0.25) != int32_t(-3.0 * v2 * 0.25);
      }
    }
  }
  EXPECT_EQ(movedEntries, 0)
      << "from " << differingPowers << " differing powers";
}
#endif

}  // namespace
