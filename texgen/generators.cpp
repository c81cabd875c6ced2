// Generators: each paints one channel as a pure function of (x, y) and the
// instruction. The precision of every step is listed in texgen.h.
#include <cmath>

#include "texgen/texgen.h"

namespace texgen {

std::uint8_t Fill(int, int, const Instruction& in) { return in.p1; }

std::uint8_t Noise(int x, int y, const Instruction& in) {
    // White noise: the column is the added hash coordinate, the row the
    // multiplied one.
    return NoiseByte(x, y, in.p1, in.seed);
}

std::uint8_t Spot(int x, int y, const Instruction& in) {
    constexpr float k255 = 1.0f / 255.0f;  // 0.003921569
    const int dx = x - 128;
    const int dy = y - 128;
    const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
    const float slope = static_cast<float>(in.p1) * k255;  // float product
    const int t = static_cast<int>(d * static_cast<double>(slope) * 2.0);
    return t > 255 ? 0 : static_cast<std::uint8_t>(255 - t);
}

std::uint8_t SmoothNoise(int x, int y, const Instruction& in) {
    // Cell size 0 has no lattice; it is taken as 1 (see texgen.h).
    const int cell = in.p2 == 0 ? 1 : in.p2;
    const int cells = 256 / cell;  // lattice cells per side, 1..256
    const float u = static_cast<float>(x) / static_cast<float>(cell) + 256.0f;
    const float v = static_cast<float>(y) / static_cast<float>(cell) + 256.0f;
    const int iu = static_cast<int>(u);
    const int iv = static_cast<int>(v);
    const float fx = u - static_cast<float>(iu);
    const float fy = v - static_cast<float>(iv);
    const int c0 = iu % cells;
    const int c1 = (iu + 1) % cells;
    const int r0 = iv % cells;
    const int r1 = (iv + 1) % cells;
    // Lattice value of column i, row j: the row is the added coordinate and
    // the column the multiplied one, the reverse of Noise.
    auto lattice = [&](int i, int j) { return static_cast<float>(NoiseByte(j, i, in.p1, in.seed)); };
    const float gx = 1.0f - fx;
    const float gy = 1.0f - fy;
    // Each term truncated on its own, products left to right in float.
    const int t00 = static_cast<int>(lattice(c0, r0) * gx * gy);
    const int t10 = static_cast<int>(lattice(c1, r0) * fx * gy);
    const int t01 = static_cast<int>(lattice(c0, r1) * gx * fy);
    const int t11 = static_cast<int>(lattice(c1, r1) * fx * fy);
    return static_cast<std::uint8_t>((t00 + t10 + t01 + t11) & 255);
}

}  // namespace texgen
