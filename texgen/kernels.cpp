// The optimised kernels. Each one reorders the work of its pass driver, never
// the floating-point arithmetic: every float or double value is the same IEEE
// operation on the same operands in the same order as in generators.cpp,
// filters.cpp and passes.cpp. Integer steps may take another form where it is
// equal for every input (saturation by wrap-and-mask, division by a
// multiply-shift); the tests check those exhaustively, and the tests and the
// fuzz target compare the bytes with the pass drivers. What changes:
//   - terms that depend on one axis only (SineWarp's sines, SmoothNoise's
//     cell positions and fractions, Spot's distances by symmetry) are
//     computed once per row or column instead of once per pixel;
//   - per-channel byte arithmetic runs on 16-byte vectors (GCC/Clang vector
//     extensions, so any target with or without SIMD builds it);
//   - generators write their channel 16 pixels at a time with a byte shuffle
//     and blend where the processor has them (the AVX2 path);
//   - the warps have their own file (warp_kernels.cpp);
//   - no function pointer call per pixel.
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "texgen/kernels.h"
#include "texgen/noise_sets.h"

namespace texgen::kernels {
namespace {

using U8x16 = std::uint8_t __attribute__((vector_size(16)));
using U16x16 = std::uint16_t __attribute__((vector_size(32)));
using F4 = float __attribute__((vector_size(16)));
using I4 = std::int32_t __attribute__((vector_size(16)));

constexpr std::size_t vectorCount = layerBytes / sizeof(U8x16);  // 12,288

const Layer& Source(TextureLayers& layers, const Instruction& in) {
    return layers.layers[static_cast<std::size_t>(in.SourceLayerIndex())];
}

template <typename V>
V Load(const std::uint8_t* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
void Store(std::uint8_t* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}

#if defined(__SSE2__)
// 16 generator values into every third byte of 48 layer bytes (16 pixels),
// at the channel's positions: one byte shuffle and one blend per 16 bytes.
struct ChannelMasks {
    __m128i shuffle[3];  // per 16-byte part: value index for each byte, or 0x80 (none)
    __m128i blend[3];    // 0xff where the byte is the channel's
};

ChannelMasks MakeChannelMasks(int channel) {
    alignas(16) std::uint8_t shuffle[48];
    alignas(16) std::uint8_t blend[48];
    for (int i = 0; i < 48; ++i) {
        const bool mine = i % 3 == channel;
        shuffle[i] = mine ? static_cast<std::uint8_t>((i - channel) / 3) : 0x80;
        blend[i] = mine ? 0xff : 0;
    }
    ChannelMasks m;
    for (int k = 0; k < 3; ++k) {
        m.shuffle[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(shuffle + 16 * k));
        m.blend[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(blend + 16 * k));
    }
    return m;
}

__attribute__((target("avx2"))) void StoreChannelRowAvx2(std::uint8_t* row, const ChannelMasks& m, const std::uint8_t* values) {
    for (int j = 0; j < layerSize / 16; ++j) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + 16 * j));
        for (int k = 0; k < 3; ++k) {
            auto* p = reinterpret_cast<__m128i*>(row + 48 * j + 16 * k);
            _mm_storeu_si128(p, _mm_blendv_epi8(_mm_loadu_si128(p), _mm_shuffle_epi8(v, m.shuffle[k]), m.blend[k]));
        }
    }
}
#endif

// Writes rows of generator values into one channel of a layer; the other
// two channels keep their bytes.
class ChannelWriter {
public:
    ChannelWriter(Layer& layer, int channelIndex) : bytes(Bytes(layer)), channel(channelIndex) {
#if defined(__SSE2__)
        wide = SelectedVectorPath() == VectorPath::Avx2;
        if (wide) masks = MakeChannelMasks(channelIndex);
#endif
    }
    void StoreRow(int y, const std::uint8_t* values) const {
        std::uint8_t* row = bytes + y * layerSize * 3;
#if defined(__SSE2__)
        if (wide) {
            StoreChannelRowAvx2(row, masks, values);
            return;
        }
#endif
        for (int x = 0; x < layerSize; ++x) row[x * 3 + channel] = values[x];
    }

private:
    std::uint8_t* bytes;  // the layer's first byte
    int channel;          // 0..2
#if defined(__SSE2__)
    bool wide = false;
    ChannelMasks masks{};
#endif
};

// Applies op(d) -> new d to every byte of the layer, 16 at a time.
template <typename Op>
void ForEachVector(Layer& layer, Op op) {
    std::uint8_t* bytes = Bytes(layer);
    for (std::size_t i = 0; i < vectorCount; ++i) {
        std::uint8_t* p = bytes + i * sizeof(U8x16);
        Store(p, op(Load<U8x16>(p)));
    }
}

// Applies op(d, s) -> new d to every byte pair; d and s may be one layer.
template <typename Op>
void CombineVectors(TextureLayers& layers, const Instruction& in, Op op) {
    std::uint8_t* d = Bytes(Destination(layers, in));
    const std::uint8_t* s = Bytes(Source(layers, in));
    for (std::size_t i = 0; i < vectorCount; ++i) {
        const std::size_t offset = i * sizeof(U8x16);
        Store(d + offset, op(Load<U8x16>(d + offset), Load<U8x16>(s + offset)));
    }
}

U8x16 AsBytes(auto mask) { return reinterpret_cast<U8x16>(mask); }

// Where a column or row position falls on SmoothNoise's lattice: the same
// float steps as the generator, for one coordinate.
struct LatticeAxis {
    int cell0[layerSize];   // lattice index of the left (upper) neighbour
    int cell1[layerSize];   // of the right (lower) neighbour
    float f[layerSize];     // fraction toward cell1
    float g[layerSize];     // 1 - f
};

void FillLatticeAxis(LatticeAxis& axis, int cell, int cells) {
    for (int i = 0; i < layerSize; ++i) {
        const float u = static_cast<float>(i) / static_cast<float>(cell) + 256.0f;
        const int iu = static_cast<int>(u);
        axis.f[i] = u - static_cast<float>(iu);
        axis.g[i] = 1.0f - axis.f[i];
        axis.cell0[i] = iu % cells;
        axis.cell1[i] = (iu + 1) % cells;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Generators
// ---------------------------------------------------------------------------

void Fill(TextureLayers& layers, const Instruction& in) {
    // Blend the value into every third byte, 48 bytes (16 pixels) at a time:
    // the channel's positions repeat with that period.
    U8x16 mask[3];
    std::uint8_t pattern[48];
    for (int i = 0; i < 48; ++i) pattern[i] = i % 3 == in.ChannelIndex() ? 0xff : 0;
    for (int k = 0; k < 3; ++k) mask[k] = Load<U8x16>(pattern + 16 * k);
    std::uint8_t* bytes = Bytes(Destination(layers, in));
    const U8x16 value = U8x16{} + in.p1;
    for (std::size_t i = 0; i < vectorCount; ++i) {
        std::uint8_t* p = bytes + i * sizeof(U8x16);
        const U8x16& m = mask[i % 3];
        Store(p, (Load<U8x16>(p) & ~m) | (value & m));
    }
}

void Noise(TextureLayers& layers, const Instruction& in) {
    const NoiseSet& set = NoiseSetFor(in.p1);
    const ChannelWriter writer(Destination(layers, in), in.ChannelIndex());
    std::uint8_t row[layerSize];
    for (int y = 0; y < layerSize; ++y) {
        // Along a row the hash position x + y * (seed + offset) steps by one.
        const std::uint32_t start = NoisePosition(set, 0, y, in.seed);
        for (int x = 0; x < layerSize; ++x) row[x] = NoiseByteWith(set, start + static_cast<std::uint32_t>(x));
        writer.StoreRow(y, row);
    }
}

void Spot(TextureLayers& layers, const Instruction& in) {
    constexpr float k255 = 1.0f / 255.0f;
    const float slope = static_cast<float>(in.p1) * k255;
    // The value depends on |x - 128| and |y - 128| only, symmetrically:
    // compute one octant of distances and mirror it into the rows of
    // |y - 128| = 0..128, columns x = 128 - a and 128 + a.
    std::uint8_t rows[129][layerSize];
    for (int b = 0; b <= 128; ++b) {
        for (int a = b; a <= 128; ++a) {
            const double d = std::sqrt(static_cast<double>(a * a + b * b));
            const int t = static_cast<int>(d * static_cast<double>(slope) * 2.0);
            const auto value = t > 255 ? std::uint8_t{0} : static_cast<std::uint8_t>(255 - t);
            rows[b][128 - a] = rows[a][128 - b] = value;
            if (a < 128) rows[b][128 + a] = value;
            if (b < 128) rows[a][128 + b] = value;
        }
    }
    const ChannelWriter writer(Destination(layers, in), in.ChannelIndex());
    for (int y = 0; y < layerSize; ++y) writer.StoreRow(y, rows[std::abs(y - 128)]);
}

void SmoothNoise(TextureLayers& layers, const Instruction& in) {
    const int cell = in.p2 == 0 ? 1 : in.p2;
    const int cells = 256 / cell;
    const NoiseSet& set = NoiseSetFor(in.p1);
    // Columns and rows go through the same float steps, so one table serves
    // both axes.
    LatticeAxis axis;
    FillLatticeAxis(axis, cell, cells);

    // Two lattice rows at a time (the rows above and below the pixel row),
    // refilled only when the pixel row enters a new cell. Lattice value of
    // column i, row j is NoiseByte(j, i): the row is the added coordinate.
    float lattice[2][layerSize];
    int latticeRow[2] = {-1, -1};
    auto fetchRow = [&](int slot, int j) {
        if (latticeRow[slot] == j) return;
        for (int i = 0; i < cells; ++i) lattice[slot][i] = static_cast<float>(NoiseByteWith(set, NoisePosition(set, j, i, in.seed)));
        latticeRow[slot] = j;
    };

    // The four neighbours of every column, for the current pair of lattice
    // rows; they change only when the pixel row enters a new cell.
    alignas(16) float a00[layerSize], a10[layerSize], a01[layerSize], a11[layerSize];
    alignas(16) std::int32_t sums[layerSize];
    int neighbourRows[2] = {-1, -1};
    const ChannelWriter writer(Destination(layers, in), in.ChannelIndex());
    std::uint8_t row[layerSize];
    for (int y = 0; y < layerSize; ++y) {
        if (neighbourRows[0] != axis.cell0[y] || neighbourRows[1] != axis.cell1[y]) {
            fetchRow(0, axis.cell0[y]);
            fetchRow(1, axis.cell1[y]);
            for (int x = 0; x < layerSize; ++x) {
                a00[x] = lattice[0][axis.cell0[x]];
                a10[x] = lattice[0][axis.cell1[x]];
                a01[x] = lattice[1][axis.cell0[x]];
                a11[x] = lattice[1][axis.cell1[x]];
            }
            neighbourRows[0] = axis.cell0[y];
            neighbourRows[1] = axis.cell1[y];
        }
        const float fy = axis.f[y];
        const float gy = axis.g[y];
        for (int x = 0; x < layerSize; x += 4) {
            const F4 fx = Load<F4>(reinterpret_cast<const std::uint8_t*>(axis.f + x));
            const F4 gx = Load<F4>(reinterpret_cast<const std::uint8_t*>(axis.g + x));
            const F4 l00 = Load<F4>(reinterpret_cast<const std::uint8_t*>(a00 + x));
            const F4 l10 = Load<F4>(reinterpret_cast<const std::uint8_t*>(a10 + x));
            const F4 l01 = Load<F4>(reinterpret_cast<const std::uint8_t*>(a01 + x));
            const F4 l11 = Load<F4>(reinterpret_cast<const std::uint8_t*>(a11 + x));
            // Left to right, each term truncated on its own.
            const I4 sum = __builtin_convertvector(l00 * gx * gy, I4) + __builtin_convertvector(l10 * fx * gy, I4) +
                           __builtin_convertvector(l01 * gx * fy, I4) + __builtin_convertvector(l11 * fx * fy, I4);
            Store(reinterpret_cast<std::uint8_t*>(sums + x), sum);
        }
        for (int x = 0; x < layerSize; ++x) row[x] = static_cast<std::uint8_t>(sums[x] & 255);
        writer.StoreRow(y, row);
    }
}

// ---------------------------------------------------------------------------
// Filters
// ---------------------------------------------------------------------------

void Brightness(TextureLayers& layers, const Instruction& in) {
    const int offset = 2 * in.p1 - 255;
    if (offset > 0) {
        const auto o = static_cast<std::uint8_t>(offset);
        ForEachVector(Destination(layers, in), [o](U8x16 c) {
            const U8x16 r = c + o;
            return r | AsBytes(r < c);  // wrapped past 255: saturate
        });
    } else {
        const auto o = static_cast<std::uint8_t>(-offset);
        ForEachVector(Destination(layers, in), [o](U8x16 c) {
            const U8x16 r = c - o;
            return r & ~AsBytes(r > c);  // wrapped below 0: clamp
        });
    }
}

namespace {

// Runs a filter that depends on R + G + B only: tabulated by the sum, with
// the per-pixel filter itself run once on a pixel of each sum, then looked
// up four pixels (12 bytes) at a time, written back as two words.
void FilterBySum(Layer& layer, FilterFunction filter, const Instruction& in) {
    std::uint32_t table[766];  // R | G << 8 | B << 16 by sum 0..765
    for (int s = 0; s < 766; ++s) {
        const auto part = [s](int low) {
            return static_cast<std::uint8_t>(s <= low ? 0 : (s - low > 255 ? 255 : s - low));
        };
        Pixel p;
        p.Set(part(0), part(255), part(510));  // a pixel whose channels add up to s
        filter(0, 0, in, p);
        table[s] = p.r | static_cast<std::uint32_t>(p.g) << 8 | static_cast<std::uint32_t>(p.b) << 16;
    }
    std::uint8_t* bytes = Bytes(layer);
    if constexpr (std::endian::native == std::endian::little) {
        for (int i = 0; i < layerPixels; i += 4) {
            std::uint8_t* p = bytes + i * 3;
            const std::uint64_t t0 = table[p[0] + p[1] + p[2]];
            const std::uint64_t t1 = table[p[3] + p[4] + p[5]];
            const std::uint64_t t2 = table[p[6] + p[7] + p[8]];
            const std::uint32_t t3 = table[p[9] + p[10] + p[11]];
            const std::uint64_t low = t0 | t1 << 24 | t2 << 48;
            const auto high = static_cast<std::uint32_t>(t2 >> 16) | t3 << 8;
            std::memcpy(p, &low, sizeof low);
            std::memcpy(p + 8, &high, sizeof high);
        }
    } else {
        for (int i = 0; i < layerPixels; ++i) {
            std::uint8_t* p = bytes + i * 3;
            const std::uint32_t t = table[p[0] + p[1] + p[2]];
            p[0] = static_cast<std::uint8_t>(t);
            p[1] = static_cast<std::uint8_t>(t >> 8);
            p[2] = static_cast<std::uint8_t>(t >> 16);
        }
    }
}

}  // namespace

void SumRamp(TextureLayers& layers, const Instruction& in) {
    if (in.p1 > 5) return;  // leaves the pixels as they are
    FilterBySum(Destination(layers, in), &texgen::SumRamp, in);
}

void Grey(TextureLayers& layers, const Instruction& in) { FilterBySum(Destination(layers, in), &texgen::Grey, in); }

// ---------------------------------------------------------------------------
// Warps
// ---------------------------------------------------------------------------

// Shift and SineWarp live in warp_kernels.cpp.

// ---------------------------------------------------------------------------
// Combiners (byte-wise on 16 bytes at a time; each channel reads d and s
// before writing d, as the per-pixel combiners do)
// ---------------------------------------------------------------------------

void Add(TextureLayers& layers, const Instruction& in) {
    CombineVectors(layers, in, [](U8x16 d, U8x16 s) {
        const U8x16 r = d + s;
        return r | AsBytes(r < d);
    });
}

void Subtract(TextureLayers& layers, const Instruction& in) {
    CombineVectors(layers, in, [](U8x16 d, U8x16 s) {
        const U8x16 r = d - s;
        return r & ~AsBytes(r > d);
    });
}

void Multiply(TextureLayers& layers, const Instruction& in) {
    CombineVectors(layers, in, [](U8x16 d, U8x16 s) {
        const U16x16 p = __builtin_convertvector(d, U16x16) * __builtin_convertvector(s, U16x16);
        // p div 255 for p up to 255 * 255, exactly (checked for every p).
        return __builtin_convertvector((p + 1 + (p >> 8)) >> 8, U8x16);
    });
}

void Min(TextureLayers& layers, const Instruction& in) {
    CombineVectors(layers, in, [](U8x16 d, U8x16 s) {
        const U8x16 less = AsBytes(d < s);
        return (d & less) | (s & ~less);
    });
}

void Max(TextureLayers& layers, const Instruction& in) {
    CombineVectors(layers, in, [](U8x16 d, U8x16 s) {
        const U8x16 more = AsBytes(d > s);
        return (d & more) | (s & ~more);
    });
}

void Copy(TextureLayers& layers, const Instruction& in) {
    Layer& d = Destination(layers, in);
    const Layer& s = Source(layers, in);
    if (&d != &s) d = s;
}

void Mix(TextureLayers& layers, const Instruction& in) {
    // v div p for v 0..255 and p 1..255 is (v * m) >> 16 with m =
    // ceil(65536 / p): the rounding error of m adds less than 1/256, which
    // never reaches the next integer. In 16-bit lanes m is split into its
    // high and low bytes: (v * m) >> 16 = (v * mHigh + ((v * mLow) >> 8)) >> 8.
    struct Divisor {
        std::uint16_t high;  // m >> 8, 0..256
        std::uint16_t low;   // m & 255
    };
    auto divisor = [](std::uint8_t p) {
        const std::uint32_t d = p == 0 ? 1u : p;  // 0 is taken as 1 (see texgen.h)
        const std::uint32_t m = (65536u + d - 1u) / d;
        return Divisor{static_cast<std::uint16_t>(m >> 8), static_cast<std::uint16_t>(m & 255u)};
    };
    const Divisor dd = divisor(in.p2);
    const Divisor sd = divisor(in.p3);
    CombineVectors(layers, in, [dd, sd](U8x16 d, U8x16 s) {
        const U16x16 dw = __builtin_convertvector(d, U16x16);
        const U16x16 sw = __builtin_convertvector(s, U16x16);
        U16x16 r = ((dw * dd.high + ((dw * dd.low) >> 8)) >> 8) + ((sw * sd.high + ((sw * sd.low) >> 8)) >> 8);
        r = r > 255 ? 255 : r;
        return __builtin_convertvector(r, U8x16);
    });
}

}  // namespace texgen::kernels
