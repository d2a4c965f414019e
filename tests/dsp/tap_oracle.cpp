#include "tap_oracle.h"

#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quenlow::testing {
namespace {

constexpr std::int64_t kExponentCap = 9999;
constexpr int kSignificandBits = 64;

// The x87 double-extended range in MPFR's terms (significand in [1/2, 1)):
// largest finite just below 2^16384, smallest subnormal 2^-16445.
constexpr mpfr_exp_t kMinExponent = -16444;
constexpr mpfr_exp_t kMaxExponent = 16384;

class Extended {
 public:
  Extended() { mpfr_init2(value_, kSignificandBits); }
  ~Extended() { mpfr_clear(value_); }
  Extended(const Extended&) = delete;
  Extended& operator=(const Extended&) = delete;
  mpfr_ptr get() { return value_; }

 private:
  mpfr_t value_;
};

// Every result rounded to nearest within the x87 range, subnormals included.
void Round(mpfr_ptr x, int ternary) { mpfr_subnormalize(x, ternary, MPFR_RNDN); }

}  // namespace

CutDecimal CutDecimalText(const std::string& text) {
  CutDecimal number;
  std::size_t i = text.find_first_not_of(" \t\n");
  if (i == std::string::npos) return number;
  if (text[i] == '+' || text[i] == '-') number.negative = text[i++] == '-';
  std::string digits;
  std::int64_t digits_before_point = -1;
  for (; i < text.size(); ++i) {
    if (text[i] == '.') digits_before_point = static_cast<std::int64_t>(digits.size());
    else if (text[i] >= '0' && text[i] <= '9') digits += text[i];
    else break;
  }
  if (digits_before_point < 0) digits_before_point = static_cast<std::int64_t>(digits.size());
  std::int64_t written = 0;
  if (i < text.size()) {
    const std::string exponent = text.substr(i + 1);
    const bool negative = !exponent.empty() && exponent[0] == '-';
    const std::size_t first = exponent.find_first_of("123456789");
    if (first != std::string::npos) {
      const std::string part = exponent.substr(first);
      written = part.size() > 5 ? kExponentCap : std::min<std::int64_t>(std::stoll(part), kExponentCap);
    }
    if (negative) written = -written;
  }
  const std::size_t leading_zeros = std::min(digits.find_first_not_of('0'), digits.size());
  const std::string kept = digits.substr(leading_zeros, 18);
  if (kept.empty()) return number;
  number.digits = std::stoull(kept);
  number.exponent = digits_before_point - static_cast<std::int64_t>(leading_zeros) -
                    static_cast<std::int64_t>(kept.size()) + written;
  return number;
}

double MpfrScaledDecimal(const CutDecimal& number) {
  if (number.digits == 0) return 0.0;
  const mpfr_exp_t saved_min = mpfr_get_emin();
  const mpfr_exp_t saved_max = mpfr_get_emax();
  mpfr_set_emin(kMinExponent);
  mpfr_set_emax(kMaxExponent);

  const std::uint64_t n = static_cast<std::uint64_t>(std::llabs(number.exponent));
  Extended power;
  Extended factor;
  Extended value;
  mpfr_set_ui(power.get(), 1, MPFR_RNDN);
  for (std::uint64_t k = 0; k < n % 8; ++k) mpfr_mul_ui(power.get(), power.get(), 10, MPFR_RNDN);
  std::uint64_t factor_exponent = 8;
  for (std::uint64_t selector = n / 8; selector != 0; selector >>= 1, factor_exponent *= 2) {
    if ((selector & 1) == 0) continue;
    Round(factor.get(), mpfr_ui_pow_ui(factor.get(), 10, factor_exponent, MPFR_RNDN));
    Round(power.get(), mpfr_mul(power.get(), power.get(), factor.get(), MPFR_RNDN));
  }
  mpfr_set_uj(value.get(), number.digits, MPFR_RNDN);
  if (number.exponent < 0) Round(value.get(), mpfr_div(value.get(), value.get(), power.get(), MPFR_RNDN));
  else Round(value.get(), mpfr_mul(value.get(), value.get(), power.get(), MPFR_RNDN));
  const double result = mpfr_get_d(value.get(), MPFR_RNDN);

  mpfr_set_emin(saved_min);
  mpfr_set_emax(saved_max);
  return number.negative ? -result : result;
}

std::optional<double> LongDoubleScaledDecimal(const CutDecimal& number) {
  if constexpr (std::numeric_limits<long double>::digits != 64) {
    return std::nullopt;
  } else {
    if (number.digits == 0) return 0.0;
    const std::uint64_t n = static_cast<std::uint64_t>(std::llabs(number.exponent));
    long double power = 1.0L;
    for (std::uint64_t k = 0; k < n % 8; ++k) power *= 10.0L;
    std::uint64_t factor_exponent = 8;
    for (std::uint64_t selector = n / 8; selector != 0; selector >>= 1, factor_exponent *= 2) {
      if ((selector & 1) == 0) continue;
      // The C library reads "1e<n>" correctly rounded: an independent source
      // of each factor.
      const std::string text = "1e" + std::to_string(factor_exponent);
      power *= std::strtold(text.c_str(), nullptr);
    }
    const long double digits = static_cast<long double>(number.digits);
    const long double value = number.exponent < 0 ? digits / power : digits * power;
    const double result = static_cast<double>(value);
    return number.negative ? -result : result;
  }
}

}  // namespace quenlow::testing
