// The host's request serving: which image pixel lands in which buffer
// byte for edge replication, constant padding, inputRate sampling and
// plane ranges; the open-source host imitation's clipping, shifted and
// sheared rows;
// and that output is written back where (and when) a host writes it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/tile_server.h"

namespace {

// 4 wide, 3 high; sample = 100 * plane + 10 * row + column, so a value
// names its own position.
HostImage Positions(int32_t depth = 8) {
  HostImage image = MakeImage(4, 3, 3, depth);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x)
      for (int32_t p = 0; p < 3; ++p)
        SampleAt(image, x, y, p) = uint16_t(100 * p + 10 * y + x);
  return image;
}

int Read(const TileBuffer &t, int row, int col, int planeIndex) {
  int planes = t.request.hiPlane - t.request.loPlane + 1;
  const uint8_t *at = t.bytes.data() + size_t(row) * size_t(t.rowBytes) +
                      size_t((col * planes + planeIndex) * t.bytesPerSample);
  if (t.bytesPerSample == 2) {
    uint16_t v;
    std::memcpy(&v, at, 2);
    return v;
  }
  return *at;
}

TileRequest Request(Rect rect, int16_t lo, int16_t hi, int16_t padding,
                    Fixed rate = 0x10000) {
  TileRequest q;
  q.rect = rect;
  q.loPlane = lo;
  q.hiPlane = hi;
  q.padding = padding;
  q.rate = rate;
  return q;
}

struct Probe {
  int row, col, plane, expected;
};

struct ServeCase {
  const char *what;
  TileRequest request;
  RequestBehaviour behaviour;
  std::vector<Probe> probes;
  Rect served{0, 0, 0, 0};  // empty: the request's own rectangle
};

TEST(HostTileServer, PlacesEveryRequestedPixel) {
  const auto conforming = RequestBehaviour::kConforming;
  const auto clip = RequestBehaviour::kClipLikeOpenHost;
  const ServeCase cases[] = {
      {"replicated top-left corner",
       Request({-2, -2, 1, 2}, 0, 2, -1),
       conforming,
       {{0, 0, 0, 0},
        {2, 2, 0, 0},
        {2, 3, 0, 1},
        {0, 3, 1, 101},
        {1, 2, 2, 200}}},
      {"replicated bottom-right corner",
       Request({1, 2, 5, 7}, 0, 2, -1),
       conforming,
       {{0, 0, 0, 12},
        {1, 1, 0, 23},
        {3, 4, 0, 23},
        {3, 0, 0, 22},
        {0, 4, 2, 213}}},
      {"constant padding",
       Request({-1, -1, 1, 1}, 0, 2, 7),
       conforming,
       {{0, 0, 0, 7},
        {0, 1, 2, 7},
        {1, 0, 1, 7},
        {1, 1, 0, 0},
        {1, 1, 1, 100}}},
      {"a plane range without plane 0",
       Request({0, 0, 1, 2}, 1, 2, -1),
       conforming,
       {{0, 0, 0, 100}, {0, 0, 1, 200}, {0, 1, 0, 101}, {0, 1, 1, 201}}},
      {"every second pixel, replicated past the sampled edge",
       Request({0, 0, 2, 3}, 0, 0, -1, 0x20000),
       conforming,
       {{0, 0, 0, 0}, {0, 1, 0, 2}, {0, 2, 0, 2}, {1, 1, 0, 22}}},
      {"every third pixel",
       Request({0, 0, 1, 2}, 0, 0, -1, 0x30000),
       conforming,
       {{0, 1, 0, 3}}},
      {"past right and bottom: clipped there",
       Request({1, 2, 5, 7}, 0, 2, -1),
       clip,
       {{0, 0, 0, 12}, {0, 1, 0, 13}, {1, 0, 0, 22}, {1, 1, 2, 223}},
       {1, 2, 3, 4}},
      {"negative top: filled from image row 0, the rest unfilled",
       Request({-2, 0, 1, 2}, 0, 0, -1),
       clip,
       {{0, 0, 0, 0}, {0, 1, 0, 1}, {1, 1, 0, 0}, {2, 1, 0, 0}}},
      {"negative left: rows packed at the clipped width shear",
       Request({0, -1, 2, 3}, 0, 0, -1),
       clip,
       {{0, 0, 0, 0},
        {0, 2, 0, 2},
        {0, 3, 0, 10},
        {1, 0, 0, 11},
        {1, 1, 0, 12}}},
      {"every second pixel inside the image",
       Request({0, 0, 1, 2}, 0, 0, -1, 0x20000),
       clip,
       {{0, 1, 0, 2}}},
  };
  const HostImage image = Positions();
  for (const ServeCase &c : cases) {
    ServeOptions options;
    options.behaviour = c.behaviour;
    TileBuffer tile;
    ASSERT_EQ(FillTile(image, c.request, options, &tile), 0) << c.what;
    ASSERT_TRUE(tile.valid) << c.what;
    const Rect served = RectEmpty(c.served) ? c.request.rect : c.served;
    const Rect &got = tile.request.rect;
    EXPECT_TRUE(got.top == served.top && got.left == served.left &&
                got.bottom == served.bottom && got.right == served.right)
        << c.what;
    int planes = c.request.hiPlane - c.request.loPlane + 1;
    EXPECT_EQ(tile.rowBytes, (served.right - served.left) * planes) << c.what;
    for (const Probe &p : c.probes)
      EXPECT_EQ(Read(tile, p.row, p.col, p.plane), p.expected)
          << c.what << " at row " << p.row << " column " << p.col << " plane "
          << p.plane;
  }
}

TEST(HostTileServer, SixteenBitSamplesAndPaddedRows) {
  HostImage image = Positions(16);
  ServeOptions options;
  options.rowPad = 5;
  TileBuffer tile;
  ASSERT_EQ(FillTile(image, Request({-1, 2, 2, 5}, 0, 2, -1), options, &tile),
            0);
  EXPECT_EQ(tile.bytesPerSample, 2);
  EXPECT_EQ(tile.rowBytes, 3 * 3 * 2 + 5);
  EXPECT_EQ(Read(tile, 0, 0, 0), 2);   // row -1 replicates row 0
  EXPECT_EQ(Read(tile, 2, 1, 2), 213); // row 1, column 3
  EXPECT_EQ(Read(tile, 2, 2, 1), 113); // column 5 replicates column 3
}

TEST(HostTileServer, RefusesRequestsItCannotServe) {
  struct Case {
    const char *what;
    TileRequest request;
    int64_t maxBytes;
    OSErr expected;
  };
  const Case cases[] = {
      {"negative low plane", Request({0, 0, 1, 1}, -1, 0, -1), 1 << 20,
       kErrParam},
      {"plane past the image", Request({0, 0, 1, 1}, 0, 3, -1), 1 << 20,
       kErrParam},
      {"low above high", Request({0, 0, 1, 1}, 2, 1, -1), 1 << 20, kErrParam},
      {"zero rate", Request({0, 0, 1, 1}, 0, 0, -1, 0), 1 << 20, kErrParam},
      {"padding out of range", Request({0, 0, 1, 1}, 0, 0, 300), 1 << 20,
       kErrParam},
      {"out of bounds when asked to fail", Request({-1, 0, 1, 1}, 0, 0, -3),
       1 << 20, kErrParam},
      {"inside bounds when asked to fail", Request({0, 0, 3, 4}, 0, 0, -3),
       1 << 20, 0},
      {"larger than the host will give", Request({0, 0, 100, 100}, 0, 2, -1),
       1000, kErrNoMemory},
  };
  const HostImage image = Positions();
  for (const Case &c : cases) {
    ServeOptions options;
    options.maxRequestBytes = c.maxBytes;
    TileBuffer tile;
    EXPECT_EQ(FillTile(image, c.request, options, &tile), c.expected) << c.what;
  }
  TileBuffer empty;
  EXPECT_EQ(
      FillTile(image, Request({2, 2, 2, 3}, 0, 0, -1), ServeOptions(), &empty),
      0);
  EXPECT_FALSE(empty.valid);
}

TEST(HostTileServer, WritesBackOnlyInsideTheImageAndTheSelection) {
  struct Case {
    const char *what;
    RequestBehaviour behaviour;
    Rect rect;
    Rect clip;
    std::vector<Probe> probes; // image x = col, y = row after writing
  };
  const Case cases[] = {
      {"conforming, reaching past the top left",
       RequestBehaviour::kConforming,
       {-1, -1, 2, 2},
       {0, 0, 1, 4},
       // Buffer (1,1) lands on image (0,0); row 1 lies outside the clip.
       {{0, 0, 0, 61}, {0, 1, 0, 62}, {1, 0, 0, 10}, {1, 1, 0, 11}}},
      {"open-source model, from where it packed its input",
       RequestBehaviour::kClipLikeOpenHost,
       {-1, -1, 2, 2},
       {0, 0, 3, 4},
       // Rows of 3 bytes by the record, packed at the 2 columns inside the
       // image from the origin; only 2 rows were inside.
       {{0, 0, 0, 50},
        {0, 1, 0, 51},
        {1, 0, 0, 52},
        {1, 1, 0, 60},
        {2, 0, 0, 20}}},
  };
  for (const Case &c : cases) {
    HostImage source = Positions();
    TileBuffer tile;
    ServeOptions options;
    options.behaviour = c.behaviour;
    ASSERT_EQ(FillTile(source, Request(c.rect, 0, 0, 0), options, &tile), 0);
    // Buffer value = 50 + 10 * buffer row + buffer column.
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < 3; ++col)
        tile.bytes[size_t(r * tile.rowBytes + col)] =
            uint8_t(50 + 10 * r + col);
    HostImage image = Positions();
    WriteTile(tile, c.clip, c.behaviour, &image);
    for (const Probe &p : c.probes)
      EXPECT_EQ(SampleAt(image, p.col, p.row, p.plane), p.expected)
          << c.what << " at row " << p.row << " column " << p.col;
  }
}

FilterRecord RequestRecord(Rect in, Rect out) {
  FilterRecord r{};
  r.inRect = in;
  r.outRect = out;
  r.inHiPlane = r.outHiPlane = 2;
  r.inputPadding = r.outputPadding = -1;
  r.inputRate = 0x10000;
  return r;
}

TEST(HostTileServer, WritesThePreviousOutputBackAtTheNextRequest) {
  const HostImage source = Positions();
  HostImage destination = source;
  SampleAt(destination, 3, 2, 0) = 77; // the output starts from here
  TileServer server;
  const Rect all{0, 0, 3, 4};
  FilterRecord r = RequestRecord({0, 0, 1, 1}, {2, 3, 3, 4});
  ASSERT_EQ(AdvanceTiles(&server, &r, source, &destination, all, true), 0);
  EXPECT_EQ(static_cast<uint8_t *>(r.inData)[0], 0);
  EXPECT_EQ(static_cast<uint8_t *>(r.outData)[0], 77);
  EXPECT_EQ(r.inColumnBytes, 3);
  EXPECT_EQ(r.outPlaneBytes, 1);
  static_cast<uint8_t *>(r.outData)[0] = 200;
  EXPECT_EQ(SampleAt(destination, 3, 2, 0), 77) << "written back too early";

  r.outRect = Rect{0, 0, 1, 1};
  ASSERT_EQ(AdvanceTiles(&server, &r, source, &destination, all, true), 0);
  EXPECT_EQ(SampleAt(destination, 3, 2, 0), 200);
  static_cast<uint8_t *>(r.outData)[0] = 150;
  FlushTiles(&server, &r, &destination, all);
  EXPECT_EQ(SampleAt(destination, 0, 0, 0), 150);
  EXPECT_TRUE(r.outData == nullptr);
  EXPECT_EQ(SampleAt(source, 0, 0, 0), 0) << "the source must not change";
}

TEST(HostTileServer, FailsTheModulesNthCallOnly) {
  const HostImage source = Positions();
  HostImage destination = source;
  TileServer server;
  server.failAt = 2;
  server.failCode = -4242;
  FilterRecord r = RequestRecord({0, 0, 1, 1}, {0, 0, 1, 1});
  const Rect all{0, 0, 3, 4};
  EXPECT_EQ(AdvanceTiles(&server, &r, source, &destination, all, true), 0);
  // The host's own serving (start and continue) does not count.
  EXPECT_EQ(AdvanceTiles(&server, &r, source, &destination, all, false), 0);
  EXPECT_EQ(AdvanceTiles(&server, &r, source, &destination, all, true), -4242);
  EXPECT_TRUE(r.inData == nullptr);
  EXPECT_TRUE(r.outData == nullptr);
  EXPECT_EQ(AdvanceTiles(&server, &r, source, &destination, all, true), 0);
  ASSERT_EQ(server.log.size(), 4u);
  EXPECT_EQ(server.log[2].result, -4242);
}

TEST(HostTileServer, CanLeaveTheLayoutFieldsZero) {
  const HostImage source = Positions();
  HostImage destination = source;
  TileServer server;
  server.columnBytesZero = true;
  FilterRecord r = RequestRecord({0, 0, 1, 1}, {0, 0, 1, 1});
  ASSERT_EQ(AdvanceTiles(&server, &r, source, &destination, {0, 0, 3, 4}, true),
            0);
  EXPECT_TRUE(r.inData != nullptr);
  EXPECT_EQ(r.inRowBytes, 3);
  EXPECT_EQ(r.inColumnBytes, 0);
  EXPECT_EQ(r.outPlaneBytes, 0);
}

} // namespace
