// The blur's reach and radii, and the tile's two passes over the planes
// of the work area; the running sums themselves are in the kernels.
#include "engine/blur.h"

#include "engine/dispatch.h"
#include "engine/pipeline.h"
#include "engine/tables.h"

namespace {

constexpr std::array<uint32_t, 256> MakeBoxDivisorTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t r = 0; r < 256; ++r) table[r] = 65536 / (2 * r + 1);
  return table;
}

KernelRadii CurrentRadii() {
  const BoxRadii radii = SplitBlurReach(BlurReach);
  return {radii.r1, radii.r2, radii.fraction, InputMargin(BlurReach)};
}

}  // namespace

constexpr std::array<uint32_t, 256> BoxDivisorTable = MakeBoxDivisorTable();

BoxRadii SplitBlurReach(double reach) {
  BoxRadii radii;
  radii.sixteenths = int32_t(16 * reach + 0.5);
  radii.r1 = radii.sixteenths >> 5;
  radii.r2 = (radii.sixteenths >> 4) - radii.r1;
  radii.fraction = radii.sixteenths & 15;
  return radii;
}

int32_t InputMargin(double reach) {
  const int32_t t = SplitBlurReach(reach).sixteenths;
  return t % 16 == 0 ? t / 16 : t / 16 + 1;
}

void BlurRows(const FilterRecord *record) {
  BlurTileRows(GetTileGeometry(record));
}

void BlurColumns(const FilterRecord *record) {
  BlurTileColumns(GetTileGeometry(record));
}

void BlurTileRows(const TileGeometry &g) {
  Kernels().blurRows(ValuePlane, kValueStride, g.rows + 2 * g.margin, g.columns,
                     CurrentRadii(), BoxDivisorTable.data(), RowBlurBuffer,
                     BlurScratch);
}

void BlurTileColumns(const TileGeometry &g) {
  Kernels().blurColumns(ValuePlane, kValueStride, RowBlurBuffer, g.rows,
                        g.columns, CurrentRadii(), BoxDivisorTable.data(),
                        BlurredTile, BlurScratch);
}
