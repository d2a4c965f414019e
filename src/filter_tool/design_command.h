// quenlow-filter design: a coefficient file from a windowed-sinc design.
#pragma once

#include <ostream>
#include <string>

#include "filter_tool/design.h"

namespace quenlow {

struct DesignOptions {
  DesignRequest request;
  std::string output;  // "-": standard output
};

int RunDesign(const DesignOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quenlow
