// Another compiler and C runtime, and in 32 bits other floating-point
// code: every power, cosine, table and filtered picture this build makes
// must match the native build's, line by line.
#include "tests/support/engine_digest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(EngineDigests, MatchTheNativeBuild) {
  const char *path = std::getenv("TAVORIN_ENGINE_DIGESTS");
  if (path == nullptr || *path == '\0') {
    GTEST_SKIP() << "TAVORIN_ENGINE_DIGESTS names no native digest file";
  }
  std::ifstream file(path);
  ASSERT_TRUE(file) << "cannot read " << path;
  std::vector<std::string> native;
  for (std::string line; std::getline(file, line);) native.push_back(line);

  EXPECT_EQ(EngineDigestLines(), native);
}

}  // namespace
