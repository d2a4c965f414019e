#include "support/wav_test_files.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quenlow::test {

namespace {

void AppendU16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(Bytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendId(Bytes& bytes, const std::string& id) { bytes.insert(bytes.end(), id.begin(), id.end()); }

}  // namespace

Bytes FormatPayload(const HeaderFigures& figures, std::size_t extraBytes) {
  Bytes payload;
  AppendU16(payload, figures.formatTag);
  AppendU16(payload, figures.channelField);
  AppendU32(payload, figures.sampleRate);
  AppendU32(payload, figures.sampleRate * 4);
  AppendU16(payload, 4);
  AppendU16(payload, figures.bitsPerSample);
  payload.resize(payload.size() + extraBytes, 0);
  return payload;
}

Bytes ChunkHeader(const std::string& id, std::uint32_t size) {
  Bytes bytes;
  AppendId(bytes, id);
  AppendU32(bytes, size);
  return bytes;
}

Bytes Chunk(const std::string& id, const Bytes& payload) {
  Bytes bytes = ChunkHeader(id, static_cast<std::uint32_t>(payload.size()));
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  if (payload.size() % 2 == 1) bytes.push_back(0);
  return bytes;
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

Bytes RiffFile(const std::vector<Bytes>& chunks) {
  Bytes body = Join(chunks);
  Bytes bytes;
  AppendId(bytes, "RIFF");
  AppendU32(bytes, static_cast<std::uint32_t>(body.size() + 4));
  AppendId(bytes, "WAVE");
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

Bytes CanonicalHeader(const HeaderFigures& figures) {
  Bytes bytes = RiffFile({Chunk("fmt ", FormatPayload(figures)), ChunkHeader("data", figures.dataSize)});
  PutU32(bytes, 4, figures.dataSize + 36);
  return bytes;
}

void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quenlow-wav-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::Write(const std::string& name, const Bytes& bytes) const {
  const std::string path = Path(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quenlow::test
