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

FilterFileCheck CheckFilterFile(const FilterTaps& taps, const FilterTapsReport& report) {
  const int read = report.FieldsRead();
  if (report.FieldsRead() < TapCount) {
    return {report.bareLineFeeds > 0 ? FilterDoubt::kLineFeedsOnly : FilterDoubt::kTooFewNumbers, read, 0};
  }
  const auto nonFinite = std::find_if(taps.begin(), taps.end(), [](double tap) { return !std::isfinite(tap); });
  if (nonFinite != taps.end()) {
    return {FilterDoubt::kNotFinite, read, static_cast<int>(nonFinite - taps.begin()) + 1};
  }
  if (std::all_of(taps.begin(), taps.end(), [](double tap) { return tap == 0.0; })) {
    return {FilterDoubt::kAllZero, read, 0};
  }
  if (report.byteOrderMark) return {FilterDoubt::kByteOrderMark, read, 0};
  return {FilterDoubt::kNone, read, 0};
}

std::optional<std::string> FindFilterFile() {
  for (const std::string& candidate : FilterFileCandidates()) {
    if (platform::PathExists(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace quenlow
