#include "dsp/fast_filter_kernel.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quenlow {
namespace {

void PlainKernel(const PhaseTaps& taps, const double* samples, int n, double* out, int stride) {
  const int padded = (n + kKernelStep - 1) / kKernelStep * kKernelStep;
  for (int r = 0; r < OversamplingRatio; ++r) {
    double* y = out + r * stride;
    for (int i = 0; i < padded; ++i) y[i] = 0.0;
    // Delay outermost: the inner loop runs over consecutive samples and
    // vectorises.
    for (int d = 0; d < kPhaseDelays; ++d) {
      const double tap = taps.byDelay[d][r];
      const double* s = samples - d;
      for (int i = 0; i < padded; ++i) y[i] += tap * s[i];
    }
  }
}

#if defined(__x86_64__)

// Eight accumulators: four phases times two vectors of consecutive samples.
// Each delay loads two sample vectors and broadcasts four phase taps.
__attribute__((target("avx2,fma"))) void Avx2Kernel(const PhaseTaps& taps, const double* samples, int n,
                                                     double* out, int stride) {
  for (int i = 0; i < n; i += 8) {
    __m256d a0 = _mm256_setzero_pd(), b0 = _mm256_setzero_pd();
    __m256d a1 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd();
    __m256d a2 = _mm256_setzero_pd(), b2 = _mm256_setzero_pd();
    __m256d a3 = _mm256_setzero_pd(), b3 = _mm256_setzero_pd();
    const double* s = samples + i;
    for (int d = 0; d < kPhaseDelays; ++d) {
      const __m256d lo = _mm256_loadu_pd(s - d);
      const __m256d hi = _mm256_loadu_pd(s - d + 4);
      const double* p = taps.byDelay[d];
      __m256d t = _mm256_broadcast_sd(p + 0);
      a0 = _mm256_fmadd_pd(t, lo, a0);
      b0 = _mm256_fmadd_pd(t, hi, b0);
      t = _mm256_broadcast_sd(p + 1);
      a1 = _mm256_fmadd_pd(t, lo, a1);
      b1 = _mm256_fmadd_pd(t, hi, b1);
      t = _mm256_broadcast_sd(p + 2);
      a2 = _mm256_fmadd_pd(t, lo, a2);
      b2 = _mm256_fmadd_pd(t, hi, b2);
      t = _mm256_broadcast_sd(p + 3);
      a3 = _mm256_fmadd_pd(t, lo, a3);
      b3 = _mm256_fmadd_pd(t, hi, b3);
    }
    _mm256_storeu_pd(out + i, a0);
    _mm256_storeu_pd(out + i + 4, b0);
    _mm256_storeu_pd(out + stride + i, a1);
    _mm256_storeu_pd(out + stride + i + 4, b1);
    _mm256_storeu_pd(out + 2 * stride + i, a2);
    _mm256_storeu_pd(out + 2 * stride + i + 4, b2);
    _mm256_storeu_pd(out + 3 * stride + i, a3);
    _mm256_storeu_pd(out + 3 * stride + i + 4, b3);
  }
}

// The same with eight lanes.
__attribute__((target("avx512f"))) void Avx512Kernel(const PhaseTaps& taps, const double* samples, int n,
                                                      double* out, int stride) {
  for (int i = 0; i < n; i += 16) {
    __m512d a0 = _mm512_setzero_pd(), b0 = _mm512_setzero_pd();
    __m512d a1 = _mm512_setzero_pd(), b1 = _mm512_setzero_pd();
    __m512d a2 = _mm512_setzero_pd(), b2 = _mm512_setzero_pd();
    __m512d a3 = _mm512_setzero_pd(), b3 = _mm512_setzero_pd();
    const double* s = samples + i;
    for (int d = 0; d < kPhaseDelays; ++d) {
      const __m512d lo = _mm512_loadu_pd(s - d);
      const __m512d hi = _mm512_loadu_pd(s - d + 8);
      const double* p = taps.byDelay[d];
      __m512d t = _mm512_set1_pd(p[0]);
      a0 = _mm512_fmadd_pd(t, lo, a0);
      b0 = _mm512_fmadd_pd(t, hi, b0);
      t = _mm512_set1_pd(p[1]);
      a1 = _mm512_fmadd_pd(t, lo, a1);
      b1 = _mm512_fmadd_pd(t, hi, b1);
      t = _mm512_set1_pd(p[2]);
      a2 = _mm512_fmadd_pd(t, lo, a2);
      b2 = _mm512_fmadd_pd(t, hi, b2);
      t = _mm512_set1_pd(p[3]);
      a3 = _mm512_fmadd_pd(t, lo, a3);
      b3 = _mm512_fmadd_pd(t, hi, b3);
    }
    _mm512_storeu_pd(out + i, a0);
    _mm512_storeu_pd(out + i + 8, b0);
    _mm512_storeu_pd(out + stride + i, a1);
    _mm512_storeu_pd(out + stride + i + 8, b1);
    _mm512_storeu_pd(out + 2 * stride + i, a2);
    _mm512_storeu_pd(out + 2 * stride + i + 8, b2);
    _mm512_storeu_pd(out + 3 * stride + i, a3);
    _mm512_storeu_pd(out + 3 * stride + i + 8, b3);
  }
}

#endif

}  // namespace

std::vector<NamedPhaseKernel> AvailablePhaseKernels() {
  std::vector<NamedPhaseKernel> kernels{{"plain", PlainKernel}};
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) kernels.push_back({"avx2", Avx2Kernel});
  if (__builtin_cpu_supports("avx512f")) kernels.push_back({"avx512", Avx512Kernel});
#endif
  return kernels;
}

NamedPhaseKernel SelectPhaseKernel() { return AvailablePhaseKernels().back(); }

}  // namespace quenlow
