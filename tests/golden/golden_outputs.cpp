// Prints the SHA-256 of the output bits that fixed inputs give: both passes
// of the reference chain, the fast filtered path, the coefficient number
// reader and the extended-precision arithmetic. Run on two machines (say
// x86-64 and aarch64 under qemu), the lines must be the same; given the file
// of expected lines, it checks them and fails on any difference.
//   golden_outputs <recfilt.dat> [expected digests]
// Regenerate the expected file only when a change of output bits is meant:
//   golden_outputs data/recfilt.dat > tests/golden/expected_digests.txt
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dsp/extended_float.h"
#include "dsp/filter_taps.h"
#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "support/reference_chain.h"
#include "support/sha256.h"

namespace quenlow {
namespace {

using test::Sha256;

// splitmix64: a fixed sequence of 64-bit numbers, the same on every machine.
class Sequence {
 public:
  explicit Sequence(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  // A number in [0, bound).
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

 private:
  std::uint64_t state_;
};

void PutLittleEndian(Sha256& hash, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    const auto byte = static_cast<std::uint8_t>(value >> (8 * i));
    hash.Update(&byte, 1);
  }
}

void PutDouble(Sha256& hash, double value) {
  std::uint64_t bits = 0;
  static_assert(sizeof bits == sizeof value);
  std::memcpy(&bits, &value, sizeof bits);
  PutLittleEndian(hash, bits, 8);
}

std::string DigestOf(const std::vector<std::uint8_t>& bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.HexDigest();
}

// Music-like: two triangle waves and noise, with a stretch clipped at full
// scale so that the filter overshoots and the quantiser saturates.
std::vector<std::int16_t> MusicLike(std::uint64_t seed, int frames) {
  Sequence random(seed);
  std::vector<std::int16_t> samples;
  for (int f = 0; f < frames; ++f) {
    for (int channel = 0; channel < 2; ++channel) {
      const int period = channel == 0 ? 173 : 61;
      const int phase = f % period;
      const int triangle = (phase < period / 2 ? phase : period - phase) * 60000 / period - 15000;
      int value = triangle + static_cast<int>(random.Below(8001)) - 4000;
      if (f > frames / 2 && f < frames / 2 + 100) value *= 3;
      samples.push_back(static_cast<std::int16_t>(std::clamp(value, -32768, 32767)));
    }
  }
  return samples;
}

std::vector<std::int16_t> Extremes() {
  std::vector<std::int16_t> samples;
  for (int f = 0; f < 64; ++f) {
    const bool high = (f / (1 + f % 5)) % 2 == 0;
    samples.push_back(high ? std::int16_t{32767} : std::int16_t{-32768});
    samples.push_back(f % 3 == 0 ? std::int16_t{-32768} : std::int16_t{32767});
  }
  return samples;
}

// A coefficient text in all the forms a hand-edited file may use; its large
// taps drive the filtered values far past full scale.
std::string MadeTapText() {
  std::string text;
  Sequence random(7);
  for (int i = 0; i < TapCount; ++i) {
    const long long n = static_cast<long long>(random.Below(2000001)) - 1000000;
    switch (i % 5) {
      case 0: text += std::to_string(n) + "e-7"; break;
      case 1: text += "0." + std::to_string(n < 0 ? -n : n); break;
      case 2: text += "\"" + std::to_string(n) + "E-6\""; break;
      case 3: text += "&H" + std::to_string(n < 0 ? 0 : n % 10); break;
      default: text += "-.000" + std::to_string(n < 0 ? -n : n) + "D+2"; break;
    }
    text += i % 3 == 0 ? "\r\n" : ",";
  }
  return text;
}

struct Lines {
  std::vector<std::pair<std::string, std::string>> entries;
  bool consistent = true;
  void Add(const std::string& name, const std::string& digest) { entries.emplace_back(name, digest); }
};

void ChainDigests(Lines& lines, const std::string& name, const std::vector<std::int16_t>& samples,
                  const FilterTaps& taps) {
  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, taps);
  lines.Add("reference/" + name + "/unfiltered", DigestOf(reference.unfiltered));
  lines.Add("reference/" + name + "/filtered", DigestOf(reference.filtered));

  // The fast path, in pieces of an odd size so that pieces straddle the
  // filter's edges.
  const std::int64_t frames = static_cast<std::int64_t>(samples.size() / 2);
  const SignalInput input{samples.data(), frames};
  FilteredPass pass(input, taps, FilteredPassStart(UniformSource{}, frames), 2);
  const std::int64_t total = FilteredFrameCount(frames);
  std::vector<std::uint8_t> fast(static_cast<std::size_t>(total) * kPackedFrameBytes);
  for (std::int64_t first = 0; first < total; first += 997) {
    const std::int64_t count = std::min<std::int64_t>(997, total - first);
    pass.Produce(first, count, fast.data() + first * kPackedFrameBytes);
  }
  lines.Add("fast/" + name + "/filtered", DigestOf(fast));
  if (fast != reference.filtered) {
    std::cerr << "fast/" << name << ": the fast path differs from the reference chain\n";
    lines.consistent = false;
  }
}

void TapDigests(Lines& lines, const FilterTaps& taps, const std::string& name) {
  Sha256 hash;
  for (double tap : taps) PutDouble(hash, tap);
  lines.Add("taps/" + name, hash.HexDigest());
}

// Field texts: fixed awkward ones, then many made from the sequence.
std::vector<std::string> FieldTexts() {
  std::vector<std::string> texts = {
      "", "0", "-0", "1", "0.1", "1e308", "1.8e308", "4.9406564584124654e-324", "2.4703282292062327e-324",
      "2.4703282292062328e-324", "1e-400", "1e4932", "1.18973149535723176502e+4932", "3.6451995318824746e-4951",
      "&HFFFFFFFFFFFFFFFF", "&H1FFFFFFFFFFFFFFFFF", "&O1777777777777777777777", "&B" + std::string(70, '1'),
      "0.30000000000000000444", "9007199254740993", "123456789012345678901234567890", "1,5", " 2.5 ",
      "-&H10", "&h7fffffff", "1e", "1e+", "e5", ".e1", "1.2.3", "1d-3", "++1", "0x10", "1" + std::string(5000, '0'),
      "0." + std::string(5000, '0') + "1", "1e-99999999999999999999", "1e99999999999999999999"};
  Sequence random(11);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    if (random.Below(2) == 0) text += '-';
    if (random.Below(10) == 0) {
      const int radix = static_cast<int>(random.Below(3));
      text += radix == 0 ? "&H" : radix == 1 ? "&O" : "&B";
      const int base = radix == 0 ? 16 : radix == 1 ? 8 : 2;
      const int length = 1 + static_cast<int>(random.Below(30));
      for (int d = 0; d < length; ++d) text += kDigits[random.Below(static_cast<std::uint64_t>(base))];
    } else {
      const int length = 1 + static_cast<int>(random.Below(30));
      const int point = static_cast<int>(random.Below(static_cast<std::uint64_t>(length) + 1));
      for (int d = 0; d < length; ++d) {
        if (d == point) text += '.';
        text += kDigits[random.Below(10)];
      }
      if (random.Below(2) == 0) {
        text += random.Below(2) == 0 ? 'E' : 'd';
        text += random.Below(2) == 0 ? '-' : '+';
        text += std::to_string(random.Below(random.Below(8) == 0 ? 6000 : 400));
      }
    }
    texts.push_back(std::move(text));
  }
  return texts;
}

void NumberReaderDigests(Lines& lines) {
  const std::vector<std::string> texts = FieldTexts();
  Sha256 fields;
  for (const std::string& text : texts) PutDouble(fields, ConvertTapField(text));
  lines.Add("numbers/fields", fields.HexDigest());

  // The same fields read as whole files, in lots of TapCount.
  Sha256 files;
  for (std::size_t start = 0; start < texts.size(); start += TapCount) {
    std::string text;
    for (std::size_t i = start; i < std::min(texts.size(), start + TapCount); ++i) {
      text += texts[i] + (i % 2 == 0 ? "," : "\r\n");
    }
    for (double tap : ParseFilterTaps(text)) PutDouble(files, tap);
  }
  lines.Add("numbers/files", files.HexDigest());
}

// Each draw is taken in a statement of its own: the order in which function
// arguments are evaluated differs between compilers and targets.
ExtendedFloat Operand(Sequence& random) {
  const std::uint64_t form = random.Below(8);
  const bool negative = random.Below(2) == 0;
  const std::uint64_t bits = random.Next();
  const std::uint64_t spread = random.Below(200);
  switch (form) {
    case 0: {
      double value = 0;
      std::memcpy(&value, &bits, sizeof value);
      return ExtendedFloat::FromDouble(value);  // any double: NaN, infinity, subnormal
    }
    case 1: return ExtendedFloat::FromInt64(static_cast<std::int64_t>(bits));
    case 2: {
      // Near the ends of the exponent range: overflow, subnormals, underflow.
      const std::int64_t exponent = spread < 100 ? 16320 + static_cast<std::int64_t>(spread)
                                                 : -16640 + static_cast<std::int64_t>(spread);
      return ExtendedFloat::FromScaled(negative, bits, exponent);
    }
    case 3: return ExtendedFloat::FromScaled(negative, bits >> (spread % 64), 0);
    default:
      return ExtendedFloat::FromScaled(negative, bits | (std::uint64_t{1} << 63),
                                       static_cast<std::int64_t>(spread) - 163);
  }
}

void PutExtended(Sha256& hash, const ExtendedFloat& value) {
  PutLittleEndian(hash, static_cast<std::uint64_t>(value.kind()), 1);
  PutLittleEndian(hash, value.negative() ? 1 : 0, 1);
  PutLittleEndian(hash, static_cast<std::uint32_t>(value.exponent()), 4);
  PutLittleEndian(hash, value.significand(), 8);
}

void ArithmeticDigests(Lines& lines) {
  Sequence random(13);
  Sha256 hash;
  ExtendedFloat chained = ExtendedFloat::FromInt64(1);
  for (int i = 0; i < 300000; ++i) {
    const ExtendedFloat a = Operand(random);
    const ExtendedFloat b = Operand(random);
    ExtendedFloat result;
    switch (i % 4) {
      case 0: result = a + b; break;
      case 1: result = a - b; break;
      case 2: result = a * b; break;
      default: result = a / b; break;
    }
    PutExtended(hash, result);
    PutDouble(hash, result.ToDouble());
    PutLittleEndian(hash, static_cast<std::uint64_t>(result.RoundToInt64()), 8);
    // A running multiply-add, as the filter does it, kept finite.
    chained = chained * ExtendedFloat::FromDouble(0.999) + ExtendedFloat::FromInt64(i % 7 - 3);
  }
  PutExtended(hash, chained);
  lines.Add("arithmetic/operations", hash.HexDigest());
}

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

int Compare(const Lines& lines, const std::string& expectedText) {
  std::map<std::string, std::string> expected;
  std::istringstream in(expectedText);
  for (std::string name, digest; in >> name >> digest;) expected[name] = digest;
  int differences = 0;
  for (const auto& [name, digest] : lines.entries) {
    const auto found = expected.find(name);
    if (found == expected.end() || found->second != digest) {
      std::cerr << name << ": got " << digest << ", expected "
                << (found == expected.end() ? std::string("nothing") : found->second) << "\n";
      ++differences;
    }
  }
  if (expected.size() != lines.entries.size()) {
    std::cerr << "expected " << expected.size() << " lines, made " << lines.entries.size() << "\n";
    ++differences;
  }
  if (differences != 0) {
    std::cerr << "The output bits changed. If that is meant, regenerate the expected file:\n"
                 "  golden_outputs data/recfilt.dat > tests/golden/expected_digests.txt\n";
  }
  return differences;
}

}  // namespace
}  // namespace quenlow

int main(int argc, char** argv) {
  using namespace quenlow;
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: golden_outputs <recfilt.dat> [expected digests]\n";
    return 2;
  }
  const std::optional<FilterTaps> supplied = LoadFilterTaps(argv[1]);
  const std::optional<std::string> expected = argc == 3 ? ReadText(argv[2]) : std::nullopt;
  if (!supplied || (argc == 3 && !expected)) {
    std::cerr << "golden_outputs: cannot read " << (supplied ? argv[2] : argv[1]) << "\n";
    return 2;
  }
  const FilterTaps made = ParseFilterTaps(MadeTapText());

  Lines lines;
  TapDigests(lines, *supplied, "supplied");
  TapDigests(lines, made, "made");
  ChainDigests(lines, "music/supplied", MusicLike(1, 1500), *supplied);
  ChainDigests(lines, "music/made", MusicLike(2, 700), made);
  ChainDigests(lines, "extremes/supplied", Extremes(), *supplied);
  ChainDigests(lines, "extremes/made", Extremes(), made);
  ChainDigests(lines, "one-frame/supplied", {-32768, 32767}, *supplied);
  NumberReaderDigests(lines);
  ArithmeticDigests(lines);

  for (const auto& [name, digest] : lines.entries) std::cout << name << " " << digest << "\n";
  if (!lines.consistent) return 1;
  return expected && Compare(lines, *expected) != 0 ? 1 : 0;
}
