// The preview drawn through our host's session: whatever the zoom,
// depth and planes, every window pixel of the image shows the host's (or
// the engine's) pixel that lies under it, and a refused tile leaves a
// hole; a host that cannot sample or pad shows what one that does shows.
// The window is a canvas that displayPixels paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "dialog/preview_render.h"
#include "dialog/preview_view.h"
#include "engine/engine.h"
#include "host/session.h"
#include "params/params.h"
#include "tests/support/test_host.h"

namespace {

constexpr int32_t kCanvasWidth = 400, kCanvasHeight = 300;
const WindowRect kView{-1, -1, kCanvasWidth + 1, kCanvasHeight + 1};
constexpr uint8_t kUnpainted = 7;

std::vector<uint8_t> canvas;  // RGB, what the window shows

OSErr PaintCanvas(const PSPixelMap *map, const VRect *src, int32_t dstRow,
                  int32_t dstCol, void *) {
  const uint8_t *base = static_cast<const uint8_t *>(map->baseAddr);
  for (int32_t r = src->top; r < src->bottom; ++r) {
    for (int32_t c = src->left; c < src->right; ++c) {
      const int32_t x = dstCol + c - src->left, y = dstRow + r - src->top;
      if (x < 0 || y < 0 || x >= kCanvasWidth || y >= kCanvasHeight) continue;
      const uint8_t *pixel = base + (r - map->bounds.top) * map->rowBytes +
                             (c - map->bounds.left) * map->colBytes;
      for (int p = 0; p < 3; ++p)
        canvas[size_t(y * kCanvasWidth + x) * 3 + p] =
            pixel[p * map->planeBytes];
    }
  }
  return 0;
}

void NoEntry(int16_t, void *, intptr_t *, int16_t *result) { *result = 0; }

// A host session inside a filter call, with the engine's memory attached.
struct Session {
  HostSession s;
  Session(const HostConfig &config, const HostImage &document) {
    static std::vector<unsigned char> engine(kEngineMemoryBytes);
    InitSession(&s, config, NoEntry, document);
    BeginInvocation(&s, InvocationKind::kManual);
    s.inCall = true;
    AttachEngineMemory(s.record, engine.data());
  }
  ~Session() {
    s.inCall = false;
    EndInvocation(&s, false);
    EndSession(&s);
  }
};

// The document filtered as the run filters it, at full resolution.
HostImage Filtered(const HostImage &document) {
  HostImage out = document;
  const Rect whole{0, 0, int16_t(document.height), int16_t(document.width)};
  FilterHostImage(document, whole, &out);
  return out;
}

struct Case {
  const char *what;
  int32_t width, height, planes, depth;
  OSType hostSig;
  int32_t zoomIn, panX, panY;  // steps in from the fit view, then a pan
  bool previewOn;
  RequestBehaviour requests;
  int32_t failAt;  // the host refuses this tile (0: none)
};
constexpr RequestBehaviour kPads = RequestBehaviour::kConforming;
constexpr RequestBehaviour kOpenHost = RequestBehaviour::kClipLikeOpenHost;
constexpr RequestBehaviour kGimp = RequestBehaviour::kGimpBridge;

// The full-resolution pixel that a scaled image position shows: the host
// delivers every d-th pixel and replicates the last one it has past the
// edge (where Photoshop's rounding lays out one more).
int32_t Source(int32_t offset, int32_t n, int32_t d, int32_t m) {
  if (d > 1) return std::min(offset, (n + d - 1) / d - 1) * d;
  return std::min(offset / m, n - 1);
}

void PrintTo(const Case &c, std::ostream *os) { *os << c.what; }

class PreviewRender : public ::testing::TestWithParam<Case> {};

// Renders the case's view in a host that serves requests so; the host's
// log of requests in log.
void Render(const Case &c, RequestBehaviour requests,
            std::vector<AdvanceCall> *log, std::vector<std::string> *faults) {
  ResetCurrentParams();
  currentParams.radius = 25;
  currentParams.response = 80;
  HostConfig config;
  config.hostSig = c.hostSig;
  config.drawPixels = PaintCanvas;
  // Host rows are not tightly packed, at 16 bits not even aligned.
  config.rowPad = c.depth == 16 ? 1 : 12;
  config.requests = requests;
  config.advanceFailAt = c.failAt;
  Session session(config,
                  MakeTestPattern(c.width, c.height, c.planes, c.depth));
  FilterRecord *r = session.s.record;
  std::vector<unsigned char> buffer(size_t(c.planes) * 65536, 0xCD);
  InitPreviewPixelMap(r, buffer.data());
  std::vector<unsigned char> gather(size_t(PreviewGatherBytes(r)));
  previewGather = gather.empty() ? nullptr : gather.data();
  previewGatherBytes = int32_t(gather.size());
  canvas.assign(size_t(kCanvasWidth * kCanvasHeight * 3), kUnpainted);

  SetupPreviewView(r, kView);
  for (int i = 0; i < c.zoomIn; ++i) ZoomPreview(r, kZoomIn);
  PanImage(c.panX, c.panY);
  SetPreviewOn(c.previewOn);
  RenderPreview(r);
  previewGather = nullptr;
  *log = session.s.tiles.log;
  *faults = SessionFailures(session.s);
}

TEST_P(PreviewRender, EveryShownPixelIsTheOneUnderIt) {
  const Case &c = GetParam();
  const HostImage document =
      MakeTestPattern(c.width, c.height, c.planes, c.depth);
  const HostImage reference = c.previewOn ? Filtered(document) : document;
  std::vector<AdvanceCall> log;
  std::vector<std::string> faults;
  // What a host that samples and pads shows, where the engine at the
  // reduced rate gives no full-resolution reference.
  Render(c, kPads, &log, &faults);
  const std::vector<uint8_t> padded = canvas;
  Render(c, c.requests, &log, &faults);

  const int32_t d = previewState.reduction, m = previewState.magnification;
  const WindowRect image = previewState.imageRect;
  WindowRect visible;
  ASSERT_TRUE(VisibleRect(&visible));
  // The refused second tile lies right of the first, which starts at the
  // visible area's corner.
  const WindowRect hole =
      c.failAt == 2 ? WindowRect{visible.left + 256, visible.top,
                                 visible.left + 512, visible.top + 256}
                    : WindowRect{0, 0, 0, 0};
  const bool sharpenedReduced = c.previewOn && d > 1;
  EXPECT_TRUE(canvas == padded);
  int32_t wrong = 0;
  for (int32_t y = 0; y < kCanvasHeight && !sharpenedReduced; ++y) {
    for (int32_t x = 0; x < kCanvasWidth; ++x) {
      const uint8_t *shown = &canvas[size_t(y * kCanvasWidth + x) * 3];
      const bool inside =
          PointInWindowRect(visible, x, y) && !PointInWindowRect(hole, x, y);
      for (int p = 0; p < 3; ++p) {
        int32_t want = kUnpainted;
        if (inside) {
          const int32_t sx = Source(x - image.left, c.width, d, m);
          const int32_t sy = Source(y - image.top, c.height, d, m);
          want = SampleAt(reference, sx, sy, p);
          if (c.depth == 16) want = (want * 511) >> 16;
        }
        if (shown[p] != want && ++wrong <= 5)
          ADD_FAILURE() << c.what << ": pixel " << x << "," << y << " plane "
                        << p << " shows " << int(shown[p]) << ", want " << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0) << c.what;

  // The requests: sampled at the zoom's reduction (by a host that pads,
  // the input grown by the engine's margin only when the result is shown,
  // the output asked for at the image's origin); never past an imitated
  // open host's reduced copy, and never sampled by a host that cannot.
  const int32_t margin = c.previewOn ? InputMargin(BlurReach) : 0;
  for (const AdvanceCall &call : log) {
    if (c.requests == kPads || d == 1) {
      EXPECT_EQ(call.inputRate, d * 65536);
      EXPECT_EQ(call.outRect.top, 0);
      EXPECT_EQ(call.outRect.left, 0);
    }
    if (c.requests == kPads) {
      EXPECT_EQ(call.inRect.bottom - call.inRect.top,
                call.outRect.bottom + 2 * margin);
    } else if (call.inputRate != 0x10000) {
      EXPECT_EQ(c.requests, kOpenHost);
      EXPECT_LE(call.inRect.right, c.width / d);
      EXPECT_LE(call.inRect.bottom, c.height / d);
    }
  }
  if (!c.failAt) {
    for (const std::string &f : faults) ADD_FAILURE() << f;
  }
}

// clang-format off
const Case kCases[] = {
    {"8 bits at 100%, preview off", 300, 200, 3, 8, kHostSig8BIM, 0, 0, 0, false, kPads, 0},
    {"8 bits at 100%, sharpened", 300, 200, 3, 8, kHostSig8BIM, 0, 0, 0, true, kPads, 0},
    {"16 bits, 4 planes at 100%, sharpened", 300, 260, 4, 16, kHostSigMFI1, 0, 0, 0, true, kPads, 0},
    {"8 bits at 300%, sharpened, tiles ending inside a source pixel", 170, 120, 3, 8, kHostSig8BIM, 3, -205, -78, true, kPads, 0},
    {"16 bits, 4 planes at 200%", 250, 170, 4, 16, kHostSig8BIM, 2, -51, -33, false, kPads, 0},
    {"5 planes at 700%", 90, 60, 5, 8, kHostSig8BIM, 7, -301, -150, false, kPads, 0},
    {"reduced by 3, Photoshop", 1150, 620, 3, 8, kHostSig8BIM, 0, 0, 0, false, kPads, 0},
    {"reduced by 3, another host", 1150, 620, 3, 16, kHostSigMFI1, 0, 0, 0, false, kPads, 0},
    {"a refused tile leaves a hole", 400, 300, 3, 8, kHostSig8BIM, 0, 0, 0, true, kPads, 2},
    {"no padding, 16 bits at 100%, sharpened", 300, 260, 3, 16, kHostSigMFI1, 0, 0, 0, true, kOpenHost, 0},
    {"no padding, reduced by 3", 1150, 620, 3, 16, kHostSigMFI1, 0, 0, 0, false, kOpenHost, 0},
    {"no padding, 300% at the far corner, sharpened", 170, 120, 3, 8, kHostSigMFI1, 3, -9999, -9999, true, kOpenHost, 0},
    {"open host at 50%, 601 x 389, sharpened", 601, 389, 3, 16, FourCC('s', 'p', 'H', 'O'), 0, 0, 0, true, kOpenHost, 0},
    {"open host at 33%, 1000 x 800, sharpened", 1000, 800, 4, 8, FourCC('s', 'p', 'H', 'O'), 0, 0, 0, true, kOpenHost, 0},
    {"GIMP at 50%, 601 x 389, sharpened", 601, 389, 3, 8, FourCC('G', 'I', 'M', 'P'), 0, 0, 0, true, kGimp, 0},
    {"GIMP at 50% of 1000 x 800, the far corner, sharpened", 1000, 800, 3, 16, FourCC('G', 'I', 'M', 'P'), 1, -9999, -9999, true, kGimp, 0},
    {"GIMP at 33%, 1000 x 800", 1000, 800, 3, 8, FourCC('G', 'I', 'M', 'P'), 0, 0, 0, false, kGimp, 0},
    {"GIMP at 300%", 170, 120, 3, 8, FourCC('G', 'I', 'M', 'P'), 3, -205, -78, true, kGimp, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Views, PreviewRender, ::testing::ValuesIn(kCases));

}  // namespace
