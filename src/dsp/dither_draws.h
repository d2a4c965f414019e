// Many draws of the uniform source at once. The generator's steps are serial,
// but eight interleaved lanes, each stepping eight draws at a time, give the
// same sequence without the wait on every multiplication.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/uniform_source.h"

namespace quenlow {

// out[i] = the (i + 1)-th draw k after `source`, for i in [0, count); the
// source then stands after the last of them, as if NextDraw had been called
// count times.
void FillDraws(UniformSource& source, std::size_t count, std::uint32_t* out);

}  // namespace quenlow
