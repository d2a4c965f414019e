// The SHA-256 of a file, for the blind test's log: which recording and
// which coefficient file were heard.
#pragma once

#include <string>

namespace quenlow::listen {

// 64 lower-case hex digits; empty when the file cannot be read.
std::string FileSha256(const std::string& path);

}  // namespace quenlow::listen
