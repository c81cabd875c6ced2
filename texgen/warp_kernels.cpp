// The warp kernels. Shift moves whole pixels and is a row rotation. SineWarp
// is the most expensive operator of the machine (four scripts run it eight
// times): its sines depend on one axis each and are computed once per row
// and column, and the bilinear resampling runs four (SSE2) or eight (AVX2)
// pixels per step, one pixel per lane. Every value is the same IEEE
// operation on the same operands as in WarpPass and SineWarp (filters.cpp,
// passes.cpp), so the bytes agree exactly whichever path runs; on targets
// without SSE2 (the web page's WebAssembly) the sines are still computed
// once per row and column, and WarpPass's own loop resamples: the sines
// were nine tenths of the built-in scripts' time there.
#include <cmath>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "texgen/kernels.h"

namespace texgen::kernels {
namespace {

VectorPath& ChosenPath() {
    static VectorPath path = platform::BestVectorPath();
    return path;
}

// SineWarp's displacements: the horizontal one depends on the row only, the
// vertical one on the column only, so 2 x 256 sines serve the 65,536 pixels.
void SineWaves(const Instruction& in, double waveU[layerSize], double waveV[layerSize]) {
    const double stepU = SineWarpStep(in.p1);
    const double stepV = SineWarpStep(in.p2);
    for (int i = 0; i < layerSize; ++i) {
        waveU[i] = SineWarpWave(i, stepU, in.p3, in.p5);  // by row y, pixels
        waveV[i] = SineWarpWave(i, stepV, in.p4, in.p6);  // by column x, pixels
    }
}

#if defined(__SSE2__)

// The resampling of WarpPass for one row whose positions are known: weights
// w00..w11 and the byte offsets in the source of corner (c0, r0) ("top") and
// (c0, r1) ("bottom") for every column. Corner (c1, r) is read as the 3
// bytes after corner (c0, r), which is the right pixel unless c0 is 255 (c1
// wraps to 0); those columns are listed in `wrapped` and redone one by one.
struct WarpRow {
    alignas(32) float w00[layerSize];
    alignas(32) float w10[layerSize];
    alignas(32) float w01[layerSize];
    alignas(32) float w11[layerSize];
    alignas(32) std::int32_t top[layerSize];     // byte offset of (c0, r0)
    alignas(32) std::int32_t bottom[layerSize];  // byte offset of (c0, r1)
    int wrapped[layerSize];                      // columns whose c0 is 255
    int wrappedCount = 0;
};

void NoteWraps(WarpRow& row, int x, int mask) {
    for (int k = 0; mask != 0; ++k, mask >>= 1) {
        if (mask & 1) row.wrapped[row.wrappedCount++] = x + k;
    }
}

// trunc(channel * weight) of one corner, the form of WarpPass.
inline int Term(std::uint8_t channel, float weight) { return static_cast<int>(static_cast<float>(channel) * weight); }

// The wrapped columns of a resampled row, pixel by pixel.
void FinishWrappedColumns(const WarpRow& row, const std::uint8_t* source, std::uint8_t* buffer) {
    for (int i = 0; i < row.wrappedCount; ++i) {
        const int x = row.wrapped[i];
        const std::uint8_t* c00 = source + row.top[x];
        const std::uint8_t* c10 = c00 - 255 * 3;  // column 0 of the same row
        const std::uint8_t* c01 = source + row.bottom[x];
        const std::uint8_t* c11 = c01 - 255 * 3;
        for (int k = 0; k < 3; ++k) {
            const int sum = Term(c00[k], row.w00[x]) + Term(c10[k], row.w10[x]) + Term(c01[k], row.w01[x]) +
                            Term(c11[k], row.w11[x]);
            buffer[x * 3 + k] = static_cast<std::uint8_t>(sum > 255 ? 255 : sum);
        }
    }
}

// ----- SSE2: four pixels per step -----

// Fills row y's weights and offsets from the positions U = x + rowShift and
// V = y + columnShift[x], each a double sum rounded once to float, then the
// steps of WarpPass: + 256 in float, truncation, fractions, weights.
void PrepareWarpRowSse2(WarpRow& row, int y, double rowShift, const double* columnShift) {
    const __m128d shiftU = _mm_set1_pd(rowShift);
    const __m128d rowY = _mm_set1_pd(static_cast<double>(y));
    const __m128 offset = _mm_set1_ps(256.0f);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128i low8 = _mm_set1_epi32(255);
    const __m128i next = _mm_set1_epi32(1);
    row.wrappedCount = 0;
    __m128d x01 = _mm_set_pd(1.0, 0.0);
    const __m128d two = _mm_set1_pd(2.0);
    for (int x = 0; x < layerSize; x += 4) {
        const __m128d x23 = _mm_add_pd(x01, two);
        const __m128 u = _mm_add_ps(
            _mm_movelh_ps(_mm_cvtpd_ps(_mm_add_pd(x01, shiftU)), _mm_cvtpd_ps(_mm_add_pd(x23, shiftU))), offset);
        const __m128 v = _mm_add_ps(_mm_movelh_ps(_mm_cvtpd_ps(_mm_add_pd(rowY, _mm_loadu_pd(columnShift + x))),
                                                  _mm_cvtpd_ps(_mm_add_pd(rowY, _mm_loadu_pd(columnShift + x + 2)))),
                                    offset);
        x01 = _mm_add_pd(x23, two);
        const __m128i iu = _mm_cvttps_epi32(u);
        const __m128i iv = _mm_cvttps_epi32(v);
        const __m128 fu = _mm_sub_ps(u, _mm_cvtepi32_ps(iu));
        const __m128 fv = _mm_sub_ps(v, _mm_cvtepi32_ps(iv));
        const __m128 gu = _mm_sub_ps(one, fu);
        const __m128 gv = _mm_sub_ps(one, fv);
        _mm_store_ps(row.w00 + x, _mm_mul_ps(gu, gv));
        _mm_store_ps(row.w10 + x, _mm_mul_ps(fu, gv));
        _mm_store_ps(row.w01 + x, _mm_mul_ps(gu, fv));
        _mm_store_ps(row.w11 + x, _mm_mul_ps(fu, fv));
        const __m128i c0 = _mm_and_si128(iu, low8);
        const __m128i top = _mm_add_epi32(_mm_slli_epi32(_mm_and_si128(iv, low8), 8), c0);
        const __m128i bottom = _mm_add_epi32(_mm_slli_epi32(_mm_and_si128(_mm_add_epi32(iv, next), low8), 8), c0);
        _mm_store_si128(reinterpret_cast<__m128i*>(row.top + x), _mm_add_epi32(top, _mm_add_epi32(top, top)));
        _mm_store_si128(reinterpret_cast<__m128i*>(row.bottom + x), _mm_add_epi32(bottom, _mm_add_epi32(bottom, bottom)));
        const int wraps = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(c0, low8)));
        if (wraps != 0) NoteWraps(row, x, wraps);
    }
}

// One corner of four pixels: the 32-bit lanes hold R, G, B and one byte of
// the next pixel; add trunc(channel * weight) to the channel sums.
inline void AddCornerSse2(__m128i sums[3], __m128i pixels, __m128 weight) {
    const __m128i low8 = _mm_set1_epi32(255);
    const __m128 r = _mm_cvtepi32_ps(_mm_and_si128(pixels, low8));
    const __m128 g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(pixels, 8), low8));
    const __m128 b = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(pixels, 16), low8));
    sums[0] = _mm_add_epi32(sums[0], _mm_cvttps_epi32(_mm_mul_ps(r, weight)));
    sums[1] = _mm_add_epi32(sums[1], _mm_cvttps_epi32(_mm_mul_ps(g, weight)));
    sums[2] = _mm_add_epi32(sums[2], _mm_cvttps_epi32(_mm_mul_ps(b, weight)));
}

// Channel sums of four pixels to 12 bytes R G B R G B ..., saturated at 255
// (no term is negative, so this is the saturating sum); bytes 12..15 are 0.
inline __m128i PackPixelsSse2(const __m128i sums[3]) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sums[0], sums[1]), _mm_packs_epi32(sums[2], zero));
    const __m128i rg = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 4));  // R0 G0 R1 G1 ...
    const __m128i b0 = _mm_unpacklo_epi8(_mm_srli_si128(bytes, 8), zero);  // B0 0 B1 0 ...
    const __m128i rgb0 = _mm_unpacklo_epi16(rg, b0);                       // R G B 0 per lane
    // Drop every fourth byte: 6 bytes in each 64-bit half, then join them.
    const __m128i halves = _mm_or_si128(_mm_and_si128(rgb0, _mm_set1_epi64x(0x0000000000ffffff)),
                                        _mm_and_si128(_mm_srli_epi64(rgb0, 8), _mm_set1_epi64x(0x0000ffffff000000)));
    return _mm_or_si128(_mm_move_epi64(halves), _mm_slli_si128(_mm_srli_si128(halves, 8), 6));
}

// The low dword of each 8-byte corner pair (the left corner), and the dword
// 3 bytes in (the right corner), of pairs a = (p0, p1) and b = (p2, p3).
inline __m128i LeftCornersSse2(__m128i a, __m128i b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}
inline __m128i RightCornersSse2(__m128i a, __m128i b) {
    return LeftCornersSse2(_mm_srli_epi64(a, 24), _mm_srli_epi64(b, 24));
}

inline __m128i PairsSse2(const std::uint8_t* source, std::int32_t first, std::int32_t second) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + first)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + second)));
}

void ResampleWarpRowSse2(const WarpRow& row, const std::uint8_t* source, std::uint8_t* buffer) {
    for (int x = 0; x < layerSize; x += 4) {
        const __m128i top01 = PairsSse2(source, row.top[x], row.top[x + 1]);
        const __m128i top23 = PairsSse2(source, row.top[x + 2], row.top[x + 3]);
        const __m128i bottom01 = PairsSse2(source, row.bottom[x], row.bottom[x + 1]);
        const __m128i bottom23 = PairsSse2(source, row.bottom[x + 2], row.bottom[x + 3]);
        __m128i sums[3] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
        AddCornerSse2(sums, LeftCornersSse2(top01, top23), _mm_load_ps(row.w00 + x));
        AddCornerSse2(sums, RightCornersSse2(top01, top23), _mm_load_ps(row.w10 + x));
        AddCornerSse2(sums, LeftCornersSse2(bottom01, bottom23), _mm_load_ps(row.w01 + x));
        AddCornerSse2(sums, RightCornersSse2(bottom01, bottom23), _mm_load_ps(row.w11 + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + x * 3), PackPixelsSse2(sums));
    }
}

// ----- AVX2: the same steps, eight pixels per step (pixels x..x+3 in the
// low 128-bit half, x+4..x+7 in the high half; AVX2's shuffles and packs
// work within halves, so each half follows the SSE2 steps exactly). -----

__attribute__((target("avx2"))) void PrepareWarpRowAvx2(WarpRow& row, int y, double rowShift,
                                                        const double* columnShift) {
    const __m256d shiftU = _mm256_set1_pd(rowShift);
    const __m256d rowY = _mm256_set1_pd(static_cast<double>(y));
    const __m256 offset = _mm256_set1_ps(256.0f);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256i low8 = _mm256_set1_epi32(255);
    const __m256i next = _mm256_set1_epi32(1);
    const __m256d four = _mm256_set1_pd(4.0);
    __m256d x0 = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);
    row.wrappedCount = 0;
    for (int x = 0; x < layerSize; x += 8) {
        const __m256d x4 = _mm256_add_pd(x0, four);
        const __m256 u = _mm256_add_ps(
            _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(_mm256_add_pd(x0, shiftU))),
                                 _mm256_cvtpd_ps(_mm256_add_pd(x4, shiftU)), 1),
            offset);
        const __m256 v = _mm256_add_ps(
            _mm256_insertf128_ps(
                _mm256_castps128_ps256(_mm256_cvtpd_ps(_mm256_add_pd(rowY, _mm256_loadu_pd(columnShift + x)))),
                _mm256_cvtpd_ps(_mm256_add_pd(rowY, _mm256_loadu_pd(columnShift + x + 4))), 1),
            offset);
        x0 = _mm256_add_pd(x4, four);
        const __m256i iu = _mm256_cvttps_epi32(u);
        const __m256i iv = _mm256_cvttps_epi32(v);
        const __m256 fu = _mm256_sub_ps(u, _mm256_cvtepi32_ps(iu));
        const __m256 fv = _mm256_sub_ps(v, _mm256_cvtepi32_ps(iv));
        const __m256 gu = _mm256_sub_ps(one, fu);
        const __m256 gv = _mm256_sub_ps(one, fv);
        _mm256_store_ps(row.w00 + x, _mm256_mul_ps(gu, gv));
        _mm256_store_ps(row.w10 + x, _mm256_mul_ps(fu, gv));
        _mm256_store_ps(row.w01 + x, _mm256_mul_ps(gu, fv));
        _mm256_store_ps(row.w11 + x, _mm256_mul_ps(fu, fv));
        const __m256i c0 = _mm256_and_si256(iu, low8);
        const __m256i top = _mm256_add_epi32(_mm256_slli_epi32(_mm256_and_si256(iv, low8), 8), c0);
        const __m256i bottom =
            _mm256_add_epi32(_mm256_slli_epi32(_mm256_and_si256(_mm256_add_epi32(iv, next), low8), 8), c0);
        _mm256_store_si256(reinterpret_cast<__m256i*>(row.top + x), _mm256_add_epi32(top, _mm256_add_epi32(top, top)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(row.bottom + x),
                           _mm256_add_epi32(bottom, _mm256_add_epi32(bottom, bottom)));
        const int wraps = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(c0, low8)));
        if (wraps != 0) NoteWraps(row, x, wraps);
    }
}

__attribute__((target("avx2"))) inline void AddCornerAvx2(__m256i sums[3], __m256i pixels, __m256 weight) {
    const __m256i low8 = _mm256_set1_epi32(255);
    const __m256 r = _mm256_cvtepi32_ps(_mm256_and_si256(pixels, low8));
    const __m256 g = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(pixels, 8), low8));
    const __m256 b = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(pixels, 16), low8));
    sums[0] = _mm256_add_epi32(sums[0], _mm256_cvttps_epi32(_mm256_mul_ps(r, weight)));
    sums[1] = _mm256_add_epi32(sums[1], _mm256_cvttps_epi32(_mm256_mul_ps(g, weight)));
    sums[2] = _mm256_add_epi32(sums[2], _mm256_cvttps_epi32(_mm256_mul_ps(b, weight)));
}

// Corner pairs of pixels (x + i, x + i + 1) in the low half and
// (x + i + 4, x + i + 5) in the high half.
__attribute__((target("avx2"))) inline __m256i PairsAvx2(const std::uint8_t* source, const std::int32_t* offsets) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(PairsSse2(source, offsets[0], offsets[1])),
                                   PairsSse2(source, offsets[4], offsets[5]), 1);
}

__attribute__((target("avx2"))) inline __m256i LeftCornersAvx2(__m256i a, __m256i b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}

__attribute__((target("avx2"))) void ResampleWarpRowAvx2(const WarpRow& row, const std::uint8_t* source,
                                                         std::uint8_t* buffer) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i keep0 = _mm256_set1_epi64x(0x0000000000ffffff);
    const __m256i keep1 = _mm256_set1_epi64x(0x0000ffffff000000);
    const __m256i lowHalf = _mm256_set_epi64x(0, -1, 0, -1);
    for (int x = 0; x < layerSize; x += 8) {
        const __m256i top01 = PairsAvx2(source, row.top + x);
        const __m256i top23 = PairsAvx2(source, row.top + x + 2);
        const __m256i bottom01 = PairsAvx2(source, row.bottom + x);
        const __m256i bottom23 = PairsAvx2(source, row.bottom + x + 2);
        __m256i sums[3] = {zero, zero, zero};
        AddCornerAvx2(sums, LeftCornersAvx2(top01, top23), _mm256_load_ps(row.w00 + x));
        AddCornerAvx2(sums, LeftCornersAvx2(_mm256_srli_epi64(top01, 24), _mm256_srli_epi64(top23, 24)),
                      _mm256_load_ps(row.w10 + x));
        AddCornerAvx2(sums, LeftCornersAvx2(bottom01, bottom23), _mm256_load_ps(row.w01 + x));
        AddCornerAvx2(sums, LeftCornersAvx2(_mm256_srli_epi64(bottom01, 24), _mm256_srli_epi64(bottom23, 24)),
                      _mm256_load_ps(row.w11 + x));
        const __m256i bytes =
            _mm256_packus_epi16(_mm256_packs_epi32(sums[0], sums[1]), _mm256_packs_epi32(sums[2], zero));
        const __m256i rg = _mm256_unpacklo_epi8(bytes, _mm256_srli_si256(bytes, 4));
        const __m256i b0 = _mm256_unpacklo_epi8(_mm256_srli_si256(bytes, 8), zero);
        const __m256i rgb0 = _mm256_unpacklo_epi16(rg, b0);
        const __m256i halves =
            _mm256_or_si256(_mm256_and_si256(rgb0, keep0), _mm256_and_si256(_mm256_srli_epi64(rgb0, 8), keep1));
        const __m256i packed =
            _mm256_or_si256(_mm256_and_si256(halves, lowHalf), _mm256_slli_si256(_mm256_srli_si256(halves, 8), 6));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + x * 3), _mm256_castsi256_si128(packed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + (x + 4) * 3), _mm256_extracti128_si256(packed, 1));
    }
}

#endif  // __SSE2__

}  // namespace

bool VectorPathSupported(VectorPath path) { return platform::VectorPathSupported(path); }

VectorPath SelectedVectorPath() { return ChosenPath(); }

bool SelectVectorPath(VectorPath path) {
    if (!kernels::VectorPathSupported(path)) return false;
    ChosenPath() = path;
    return true;
}

void Shift(TextureLayers& layers, const Instruction& in) {
    // Whole-number positions: the first weight is 1 and the others 0, so
    // every output pixel is exactly its source pixel. Rotate the rows.
    Layer& layer = Destination(layers, in);
    Layer& source = GetWarpScratch().layer;
    source = layer;
    const std::size_t dx = in.p1;
    for (int y = 0; y < layerSize; ++y) {
        const std::uint8_t* from = Bytes(source) + ((y + in.p2) & 255) * layerSize * 3;
        std::uint8_t* to = Bytes(layer) + y * layerSize * 3;
        std::memcpy(to, from + dx * 3, (layerSize - dx) * 3);
        std::memcpy(to + (layerSize - dx) * 3, from, dx * 3);
    }
}

void SineWarp(TextureLayers& layers, const Instruction& in) {
#if defined(__SSE2__)
    const VectorPath path = ChosenPath();
    if (path != VectorPath::Portable) {
        double waveU[layerSize];
        double waveV[layerSize];
        SineWaves(in, waveU, waveV);
        Layer& layer = Destination(layers, in);
        WarpScratch& scratch = GetWarpScratch();
        scratch.layer = layer;
        // The whole scratch object, padding included, so that the 8-byte
        // reads at the last pixel stay inside it.
        static_assert(offsetof(WarpScratch, layer) == 0);
        const auto* source = reinterpret_cast<const std::uint8_t*>(&scratch);
        WarpRow row;
        std::uint8_t buffer[layerSize * 3 + 16];  // + 16: each step stores 16 bytes
        for (int y = 0; y < layerSize; ++y) {
            if (path == VectorPath::Avx2) {
                PrepareWarpRowAvx2(row, y, waveU[y], waveV);
                ResampleWarpRowAvx2(row, source, buffer);
            } else {
                PrepareWarpRowSse2(row, y, waveU[y], waveV);
                ResampleWarpRowSse2(row, source, buffer);
            }
            FinishWrappedColumns(row, source, buffer);
            std::memcpy(Bytes(layer) + y * layerSize * 3, buffer, layerSize * 3);
        }
        return;
    }
#endif
    struct Waves {
        double u[layerSize];
        double v[layerSize];
    } waves;
    SineWaves(in, waves.u, waves.v);
    // SineWarp's position, x + wave and y + wave in double, rounded once.
    WarpPassAt(layers, in, [](int x, int y, const void* context) {
        const auto* w = static_cast<const Waves*>(context);
        return SourcePosition{static_cast<float>(x + w->u[y]), static_cast<float>(y + w->v[x])};
    }, &waves);
}

}  // namespace texgen::kernels
