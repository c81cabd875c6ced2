// Filters, warp displacements and combiners: the per-pixel arithmetic.
#include <algorithm>
#include <array>
#include <cmath>

#include "texgen/texgen.h"

namespace texgen {
namespace {

std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// SumRamp: which channel takes the sum first, second and third, by p1.
constexpr std::array<std::array<int, 3>, 6> rampOrders{{
    {0, 1, 2},  // R G B
    {0, 2, 1},  // R B G
    {1, 0, 2},  // G R B
    {1, 2, 0},  // G B R
    {2, 0, 1},  // B R G
    {2, 1, 0},  // B G R
}};

}  // namespace

void Pixel::AddSaturated(const Pixel& other) {
    r = static_cast<std::uint8_t>(std::min(255, r + other.r));
    g = static_cast<std::uint8_t>(std::min(255, g + other.g));
    b = static_cast<std::uint8_t>(std::min(255, b + other.b));
}

void Brightness(int, int, const Instruction& in, Pixel& pixel) {
    const int offset = 2 * in.p1 - 255;  // -255..255, never 0
    pixel.Set(Clamp(pixel.r + offset), Clamp(pixel.g + offset), Clamp(pixel.b + offset));
}

void SumRamp(int, int, const Instruction& in, Pixel& pixel) {
    if (in.p1 >= rampOrders.size()) return;
    const int sum = pixel.r + pixel.g + pixel.b;  // 0..765
    const std::array<int, 3>& order = rampOrders[in.p1];
    pixel.Channel(order[0]) = Clamp(sum);
    pixel.Channel(order[1]) = Clamp(sum - 255);
    pixel.Channel(order[2]) = Clamp(sum - 510);
}

void Grey(int, int, const Instruction&, Pixel& pixel) {
    const auto a = static_cast<std::uint8_t>((pixel.r + pixel.g + pixel.b) / 3);
    pixel.Set(a, a, a);
}

SourcePosition Shift(int x, int y, const Instruction& in) {
    return {static_cast<float>(x + in.p1), static_cast<float>(y + in.p2)};
}

SourcePosition SineWarp(int x, int y, const Instruction& in) {
    // The position plus the displacement in double, rounded once to float.
    const double u = x + SineWarpWave(y, SineWarpStep(in.p1), in.p3, in.p5);
    const double v = y + SineWarpWave(x, SineWarpStep(in.p2), in.p4, in.p6);
    return {static_cast<float>(u), static_cast<float>(v)};
}

// Every combiner reads both values of a channel before writing it, so the
// source may be the destination itself.
void Add(Pixel& d, const Pixel& s, const Instruction&) { d.AddSaturated(s); }

void Subtract(Pixel& d, const Pixel& s, const Instruction&) {
    d.Set(Clamp(d.r - s.r), Clamp(d.g - s.g), Clamp(d.b - s.b));
}

void Multiply(Pixel& d, const Pixel& s, const Instruction&) {
    d.Set(static_cast<std::uint8_t>(d.r * s.r / 255), static_cast<std::uint8_t>(d.g * s.g / 255),
          static_cast<std::uint8_t>(d.b * s.b / 255));
}

void Min(Pixel& d, const Pixel& s, const Instruction&) {
    d.Set(std::min(d.r, s.r), std::min(d.g, s.g), std::min(d.b, s.b));
}

void Max(Pixel& d, const Pixel& s, const Instruction&) {
    d.Set(std::max(d.r, s.r), std::max(d.g, s.g), std::max(d.b, s.b));
}

void Copy(Pixel& d, const Pixel& s, const Instruction&) { d = s; }

void Mix(Pixel& d, const Pixel& s, const Instruction& in) {
    // A divisor of 0 has no result; it is taken as 1 (see texgen.h).
    const int dd = in.p2 == 0 ? 1 : in.p2;
    const int sd = in.p3 == 0 ? 1 : in.p3;
    d.Set(static_cast<std::uint8_t>(std::min(255, d.r / dd + s.r / sd)),
          static_cast<std::uint8_t>(std::min(255, d.g / dd + s.g / sd)),
          static_cast<std::uint8_t>(std::min(255, d.b / dd + s.b / sd)));
}

}  // namespace texgen
