#include "dsp/filter_file.h"

#include <algorithm>
#include <cmath>

#include "platform/files.h"
#include "platform/system_facts.h"

namespace quenlow {

std::vector<std::string> FilterFileCandidates() {
  std::vector<std::string> candidates = {kFilterFileName};
  const std::string folder = platform::InstalledDataFolder();
  if (!folder.empty()) candidates.push_back(folder + "/" + kFilterFileName);
  return candidates;
}

std::string FilterFileWarning(const std::string& path, const FilterTaps& taps, const FilterTapsReport& report) {
  const std::string all = std::to_string(TapCount);
  if (report.FieldsRead() < TapCount) {
    const std::string read = std::to_string(report.FieldsRead());
    if (report.bareLineFeeds > 0) {
      return " " + path + " uses LF line ends: only " + read + " of " + all + " numbers " +
             (report.FieldsRead() == 1 ? "was" : "were") + " read  ";
    }
    return " " + path + " holds only " + read + " of " + all + " numbers: the rest are taken as 0  ";
  }
  const auto nonFinite = std::find_if(taps.begin(), taps.end(), [](double tap) { return !std::isfinite(tap); });
  if (nonFinite != taps.end()) {
    return " " + path + ": tap " + std::to_string(nonFinite - taps.begin() + 1) +
           " is not a finite number: the filtered file clips  ";
  }
  if (std::all_of(taps.begin(), taps.end(), [](double tap) { return tap == 0.0; })) {
    return " " + path + ": all " + all + " taps are 0: the filtered file holds dither only  ";
  }
  if (report.byteOrderMark) {
    return " " + path + " starts with a UTF-8 byte order mark: number 1 reads as 0  ";
  }
  return {};
}

std::optional<std::string> FindFilterFile() {
  for (const std::string& candidate : FilterFileCandidates()) {
    if (platform::PathExists(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace quenlow
