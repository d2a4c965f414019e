// quenlow-filter show: how the job reads a coefficient file, and what filter
// it makes of it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "dsp/filter_taps.h"
#include "filter_tool/plot.h"

namespace quenlow {

struct ShowOptions {
  std::string file;  // empty: the file the job would take
  bool listTaps = false;
  std::string plotFile;
  bool impulse = false;
  double plotRate = 44100.0;  // the input rate whose 4x rate the picture shows
  int width = 1200;
  int height = 700;
};

int RunShow(const ShowOptions& options, std::ostream& out, std::ostream& err);

// The picture's panels: the magnitude response, and with `impulse` the taps.
std::vector<PlotPanel> FilterPanels(const FilterTaps& taps, const std::string& name, double inputRate, bool impulse,
                                    int width);

}  // namespace quenlow
