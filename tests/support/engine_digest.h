// Digests of everything the engine computes in floating point (its
// tables over a range of settings) and of whole pictures filtered
// through the tile pipeline, one "name digest" line each. Builds whose
// pow, cos or rounding differ anywhere produce different lines.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> EngineDigestLines();
