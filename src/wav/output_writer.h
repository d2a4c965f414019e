// One output file on its way to disk, whatever its format: sample bytes
// appended in pieces, the file completed and flushed under no name of its
// own, then given its final name (alone, or with the other output of the
// pair, output_pair.h). On any failure, or when the writer goes without being
// put in place, the new file is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wav/write_result.h"

namespace quenlow {

class OutputWriter {
 public:
  virtual ~OutputWriter() = default;

  // Packed sample bytes, 6 a frame.
  virtual void Append(const std::uint8_t* bytes, std::size_t size) = 0;
  // The whole file on disk, still under no name of its own.
  virtual WriteResult Complete() = 0;
  // The complete file under its final name.
  virtual WriteResult PutInPlace() = 0;
  // False once anything has failed: a caller may stop producing samples.
  virtual bool Ok() const = 0;

  // For putting several outputs in place together: the unfinished file, its
  // final name, and the news that it took that name.
  virtual int UnfinishedSlot() const = 0;
  virtual const std::string& FinalName() const = 0;
  virtual void MarkPlaced() = 0;
};

}  // namespace quenlow
