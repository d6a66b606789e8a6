// The demo's sample image: a test chart drawn from a description, free
// to redistribute. Fine detail (a star of converging spokes, a zone
// plate, bars down to two pixels) and saturated colour patches with fine
// texture, slightly soft as from a lens, so that sharpening shows.
#pragma once

#include <cstdint>

#include "host/image.h"

// 8 or 16 bits per channel, three planes; at least 600 by 400 pixels
// gives every element room.
HostImage MakeSampleChart(int32_t width, int32_t height, int32_t depth);
