#include "dsp/uniform_source.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quenlow {
namespace {

TEST(UniformSource, FirstDrawsOfEveryRunFollowTheTable) {
  struct Row { std::uint32_t state; std::uint32_t k; double u; };
  const Row table[] = {
      {0xF7F77BFCu, 2080095742u, 0.9686200609430671},  {0x33A35BEDu, 433171958u, 0.20171141158789396},
      {0x84FEFFA2u, 1115652049u, 0.519515969324857},   {0x21DA862Bu, 283984661u, 0.13224066281691194},
      {0xDFCACAD8u, 1877304684u, 0.8741881158202887},  {0x064D5639u, 52865820u, 0.024617565795779228},
  };
  UniformSource source;
  UniformSource values;
  for (const Row& row : table) {
    EXPECT_EQ(NextDraw(source), row.k);
    EXPECT_EQ(source.state, row.state);
    EXPECT_EQ(NextUniform(values), row.u);
  }
}

TEST(UniformSource, ExtremeStatesGiveTheEndsOfTheRange) {
  UniformSource fromZero{0};
  EXPECT_EQ(NextUniform(fromZero), 0.0);
  EXPECT_EQ(fromZero.state, 1u);
  // The state after 0xFFFFFFFE is found by solving backwards: simply check the
  // largest values directly from the shift.
  EXPECT_EQ((0xFFFFFFFFu >> 1) * 0x1p-31, 1.0 - 0x1p-31);
  EXPECT_EQ((0xFFFFFFFEu >> 1) * 0x1p-31, 1.0 - 0x1p-31);
}

TEST(UniformSource, JumpAheadMatchesSteppingOneByOne) {
  const std::uint64_t counts[] = {0, 1, 2, 3, 7, 16, 1000, 65537, 1u << 20};
  for (std::uint64_t count : counts) {
    UniformSource stepped{0x12345678u};
    for (std::uint64_t i = 0; i < count; ++i) NextDraw(stepped);
    EXPECT_EQ(JumpAhead(UniformSource{0x12345678u}, count).state, stepped.state) << count;
  }
  // The period is 2^32: a full turn comes back to the start.
  EXPECT_EQ(JumpAhead(UniformSource{}, std::uint64_t{1} << 32).state, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace quenlow
