// The sharpening engine's face: the working pixel and its conversions,
// the tables built from the parameters, the blur, the tile pipeline and
// the tile walk. Portable C++; no platform headers.
#pragma once

#include "engine/blur.h"
#include "engine/colour_space.h"
#include "engine/gray.h"
#include "engine/pipeline.h"
#include "engine/tables.h"
#include "engine/tile_request.h"
#include "engine/tile_walk.h"
