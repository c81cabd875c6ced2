#pragma once
// The texture generator: a byte-coded machine that paints 256 x 256 RGB
// layers with generators, filters, warps and combiners. Pure CPU code; the
// upload of layer 0 as a texture lives in gfx/generated_textures.
//
// ---------------------------------------------------------------------------
// Conventions (read these once; every operator below follows them)
// ---------------------------------------------------------------------------
// Pixels and layers
//   A Pixel is three unsigned bytes, red, green, blue (channels 0, 1, 2), no
//   alpha and no padding. A layer is 256 x 256 pixels, rows one after the
//   other: pixel (x, y) lies at byte (y * 256 + x) * 3, a row is 768 bytes,
//   a layer 196,608 bytes. x is the column and y the row, both 0..255; row 0
//   is the first row handed to OpenGL (texture coordinate t = 0).
//
// Scripts
//   A script is a count byte N followed by N instructions of 9 bytes:
//   opcode, destination, p1..p6, seed (all unsigned). The destination's high
//   nibble is the layer, its low nibble the channel (generators only); a
//   combiner's source layer is p1's high nibble. Unknown opcodes are skipped.
//   Every run starts from four black layers and leaves its image in layer 0.
//
// Integer arithmetic
//   The noise hash H works on wrapping 32-bit integers (done here in unsigned
//   arithmetic, which has the same bits as the signed wrap) and keeps the low
//   31 bits. trunc() is C's float/double to int conversion (toward zero);
//   "low byte" is the value modulo 256 taken as 0..255 (-1 -> 255). a div b
//   truncates toward zero. clamp() limits to 0..255; "saturating" adds stop
//   at 255.
//
// Floating point: where each rounding happens
//   The build uses -ffp-contract=off and no fast-math, so every operation
//   below is one IEEE operation rounded to the type named.
//   HashNoise2  1.0 - double(H(n)) * double(k): double, with the scale k held
//               as a float constant and widened exactly.
//   Noise1      1.0 - double(H(x)) * 2^-30: double (2^-30 is exact).
//   NoiseByte   low byte of trunc(256.0 * HashNoise2(...)), double.
//   Spot        d = sqrt(double(dx*dx + dy*dy)) in double. The slope
//               p1 * k255 is a float product (k255 = 1/255 as a float,
//               0.003921569), widened to double; t = trunc((d * slope) * 2.0)
//               in double; value 255 - t, or 0 once t > 255.
//   SmoothNoise u = float(x) / float(cell) + 256.0f and likewise v, float;
//               iu = trunc(u); fx = u - float(iu), 1 - fx: float. Lattice
//               columns iu mod P and (iu + 1) mod P (P = 256 div cell), rows
//               alike; the lattice value of column i, row j is
//               NoiseByte(j, i, p1, seed). Each term is
//               trunc((float(lattice) * a) * b) with a, b the x- and y-factor
//               (1 - fx or fx, then 1 - fy or fy), float products evaluated
//               left to right; the four truncated terms are summed as
//               integers and the low byte kept. Because each term truncates,
//               a cell above 128 (one lattice value L everywhere) gives L
//               where the fractions are 0 and L - 1 to L - 3 elsewhere.
//   SineWarp    pi = 3.1415927f and k2 = 2/255 = 0.007843138f are float
//               constants; U = x + p3 * sin(y * ((pi * k2) * p1) + p5) and
//               V = y + p4 * sin(x * ((pi * k2) * p2) + p6) with every
//               product, the sums and the sine in double; U and V are then
//               rounded once to float. The sine is the C library's; the
//               image checksums in the tests pin glibc's.
//   Shift       U = float(x + p1), V = float(y + p2): whole numbers, exact.
//   WarpPass    u = U + 256.0f, float; iu = trunc(u); fu = u - float(iu),
//               float; weights (1 - fu) * (1 - fv), fu * (1 - fv),
//               (1 - fu) * fv, fu * fv, float. A corner's term is
//               clamp(trunc(float(channel) * weight)), float product; the
//               four terms are added with the saturating Pixel add in the
//               order (c0, r0), (c1, r0), (c0, r1), (c1, r1). Corners wrap:
//               column = iu mod 256, row = iv mod 256 (low eight bits).
//   Brightness, SumRamp, Grey and every combiner are integer arithmetic.
//
// Fields outside the machine's limits (this machine's choices)
//   A layer index above 3 (destination, or a combiner's source) or a
//   generator channel above 2: the instruction is rejected, that is skipped
//   like an unknown opcode, and still consumes its 9 bytes. Nothing is
//   masked into range, so a stray field can never paint a wrong layer.
//   SmoothNoise with cell size 0: treated as cell size 1 (plain lattice
//   noise, NoiseByte(y, x, ...) at every pixel).
//   Mix with a divisor of 0: that divisor is treated as 1.
//   A script shorter than 1 + 9N bytes (only possible for untrusted bytes;
//   the built-in scripts are exact): the instructions that are wholly present
//   run, a cut-off tail is ignored. An empty byte string is a count of 0.
//
// Two implementations, one result
//   RunScriptReference runs each instruction through the pass drivers below
//   with the per-pixel operator functions, the plain statement of the
//   arithmetic. RunScript runs the optimised kernels of the opcode table
//   (precomputed per-row and per-column terms, whole-row vector work). They
//   are bit-identical for every script; the tests and the fuzz target check
//   it.
//
// Threads: main thread only. Both runs share one static warp buffer
// (WarpScratch), so two scripts must not run at once.
// ---------------------------------------------------------------------------

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace texgen {

inline constexpr int layerSize = 256;                         // pixels per side
inline constexpr int layerPixels = layerSize * layerSize;     // 65,536
inline constexpr int layerBytes = layerPixels * 3;            // 196,608
inline constexpr int layerCount = 4;                          // working layers
inline constexpr int instructionBytes = 9;                    // bytes per instruction

struct Pixel {
    std::uint8_t r = 0;  // channel 0, 0..255
    std::uint8_t g = 0;  // channel 1, 0..255
    std::uint8_t b = 0;  // channel 2, 0..255

    void Set(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        r = red;
        g = green;
        b = blue;
    }
    // Each channel becomes min(255, own + other's).
    void AddSaturated(const Pixel& other);
    std::uint8_t& Channel(int k) { return k == 0 ? r : (k == 1 ? g : b); }  // k 0..2
    std::uint8_t Channel(int k) const { return k == 0 ? r : (k == 1 ? g : b); }
    friend bool operator==(const Pixel&, const Pixel&) = default;
};
static_assert(sizeof(Pixel) == 3, "a layer is packed RGB bytes");

// 256 x 256 pixels, pixel (x, y) at index y * 256 + x.
using Layer = std::array<Pixel, layerPixels>;
static_assert(sizeof(Layer) == layerBytes);

inline Pixel& At(Layer& layer, int x, int y) { return layer[static_cast<std::size_t>(y * layerSize + x)]; }
inline const Pixel& At(const Layer& layer, int x, int y) { return layer[static_cast<std::size_t>(y * layerSize + x)]; }
// The layer as its 196,608 bytes, R G B R G B ...
inline const std::uint8_t* Bytes(const Layer& layer) { return reinterpret_cast<const std::uint8_t*>(layer.data()); }
inline std::uint8_t* Bytes(Layer& layer) { return reinterpret_cast<std::uint8_t*>(layer.data()); }

// The machine's four working layers (786,432 bytes: allocate on the heap).
struct TextureLayers {
    std::array<Layer, layerCount> layers;  // all black when made
};

// Four zeroed layers, or nullptr when the memory cannot be obtained.
std::unique_ptr<TextureLayers> CreateTextureLayers();

// The warp's source copy: one static buffer for every warp of every script,
// zero at program start and kept to the end. The padding lets the optimised
// warp read whole 4-byte words at the last pixel.
struct WarpScratch {
    Layer layer;                    // copy of the layer being warped
    std::uint8_t padding[16] = {};  // never read as image data
};
WarpScratch& GetWarpScratch();

// One decoded instruction; the 9 bytes in order.
struct Instruction {
    std::uint8_t opcode = 0;       // selects the operator (see the opcode table)
    std::uint8_t destination = 0;  // high nibble layer 0..3, low nibble channel 0..2
    std::uint8_t p1 = 0;           // combiners: source, high nibble the layer 0..3
    std::uint8_t p2 = 0;
    std::uint8_t p3 = 0;
    std::uint8_t p4 = 0;
    std::uint8_t p5 = 0;
    std::uint8_t p6 = 0;
    std::uint8_t seed = 0;  // noise generators only

    int LayerIndex() const { return destination >> 4; }
    int ChannelIndex() const { return destination & 15; }
    int SourceLayerIndex() const { return p1 >> 4; }
};
static_assert(sizeof(Instruction) == instructionBytes);

// Reads the 9 bytes at `bytes` (which must hold that many).
Instruction DecodeInstruction(const std::uint8_t* bytes);

// ---------------------------------------------------------------------------
// Hash noise
// ---------------------------------------------------------------------------

// The lattice hash of n with constant set 0..4 (other values are taken
// modulo 5): 0..2^31 - 1.
std::uint32_t Hash(std::int32_t n, int set);

// 1 - H(a + b * (seed + seed offset)) * k for set (variant mod 5). Roughly
// (-1.12, 1]; see the conventions for the precision.
double HashNoise2(std::int32_t a, std::int32_t b, std::uint8_t variant, std::uint8_t seed);

// Low byte of trunc(256 * HashNoise2(a, b, variant, seed)).
std::uint8_t NoiseByte(std::int32_t a, std::int32_t b, std::uint8_t variant, std::uint8_t seed);

// 1 - H(x) * 2^-30 with set 1 and no seed: a deterministic value in (-1, 1]
// for any 32-bit x (the point cloud's flicker uses it too).
double Noise1(std::int32_t x);

// ---------------------------------------------------------------------------
// Operators, one pixel at a time (x, y 0..255)
// ---------------------------------------------------------------------------

// Generators: the byte for channel ChannelIndex() of pixel (x, y).
std::uint8_t Fill(int x, int y, const Instruction& in);         // 0x01: p1
std::uint8_t Noise(int x, int y, const Instruction& in);        // 0x02: NoiseByte(x, y, p1, seed)
std::uint8_t Spot(int x, int y, const Instruction& in);         // 0x03: falloff p1 around (128, 128)
std::uint8_t SmoothNoise(int x, int y, const Instruction& in);  // 0x04: variant p1, cell p2, seed

// Filters: rewrite the pixel from its own channels.
void Brightness(int x, int y, const Instruction& in, Pixel& pixel);  // 0x11: + (2 * p1 - 255), clamped
void SumRamp(int x, int y, const Instruction& in, Pixel& pixel);     // 0x12: R+G+B spread in order p1
void Grey(int x, int y, const Instruction& in, Pixel& pixel);        // 0x13: (R+G+B) div 3

// Warps: the source position (U, V) in pixels of output pixel (x, y).
struct SourcePosition {
    float u = 0;  // column, pixels (any value WarpPass gets from bytes)
    float v = 0;  // row, pixels
};
SourcePosition Shift(int x, int y, const Instruction& in);     // 0x21: (x + p1, y + p2)
SourcePosition SineWarp(int x, int y, const Instruction& in);  // 0x22: p1..p6

// SineWarp's arithmetic, shared by the operator and the optimised kernel so
// that the two cannot drift apart: the angle step per pixel for a frequency
// byte, (pi * k2) * frequency, and the displacement of pixel i along the
// other axis, amplitude * sin(i * step + phase), both in double from the
// float constants.
inline constexpr float sineWarpPi = 3.1415927f;
inline constexpr float sineWarpK2 = 0.007843138f;  // 2/255
inline double SineWarpStep(int frequency) {
    return static_cast<double>(sineWarpPi) * static_cast<double>(sineWarpK2) * static_cast<double>(frequency);
}
inline double SineWarpWave(int i, double step, int amplitude, int phase) {
    return amplitude * std::sin(i * step + phase);
}

// Combiners: rewrite d from d and the same pixel s of the source layer.
void Add(Pixel& d, const Pixel& s, const Instruction& in);       // 0x31: min(255, d + s)
void Subtract(Pixel& d, const Pixel& s, const Instruction& in);  // 0x32: max(0, d - s)
void Multiply(Pixel& d, const Pixel& s, const Instruction& in);  // 0x33: d * s div 255
void Min(Pixel& d, const Pixel& s, const Instruction& in);       // 0x34
void Max(Pixel& d, const Pixel& s, const Instruction& in);       // 0x35
void Copy(Pixel& d, const Pixel& s, const Instruction& in);      // 0x36: s
void Mix(Pixel& d, const Pixel& s, const Instruction& in);       // 0x37: min(255, d div p2 + s div p3)

using GeneratorFunction = std::uint8_t (*)(int x, int y, const Instruction&);
using FilterFunction = void (*)(int x, int y, const Instruction&, Pixel&);
using DisplacementFunction = SourcePosition (*)(int x, int y, const Instruction&);
using CombinerFunction = void (*)(Pixel& destination, const Pixel& source, const Instruction&);

// ---------------------------------------------------------------------------
// Pass drivers: one instruction over a whole layer, rows top to bottom, each
// row left to right. An instruction whose layer or channel is out of range
// changes nothing (see the conventions).
// ---------------------------------------------------------------------------

// Stores generator(x, y) into channel ChannelIndex() of layer LayerIndex(); the other
// two channels are kept.
void GeneratorPass(TextureLayers& layers, GeneratorFunction generator, const Instruction& in);
// Runs filter on every pixel of layer LayerIndex(), in place.
void FilterPass(TextureLayers& layers, FilterFunction filter, const Instruction& in);
// Copies layer LayerIndex() into WarpScratch, then resamples every pixel from the
// copy bilinearly at the displaced position (see the conventions).
void WarpPass(TextureLayers& layers, DisplacementFunction displacement, const Instruction& in);
// WarpPass with the displaced position of (x, y) from positionAt(x, y, context),
// for a kernel that computes the displacement's terms once.
using PositionFunction = SourcePosition (*)(int x, int y, const void* context);
void WarpPassAt(TextureLayers& layers, const Instruction& in, PositionFunction positionAt, const void* context);
// combiner(pixel i of LayerIndex(), pixel i of SourceLayerIndex()) for every i; the
// two layers may be the same.
void CombinePass(TextureLayers& layers, CombinerFunction combiner, const Instruction& in);

// ---------------------------------------------------------------------------
// Opcode table and scripts
// ---------------------------------------------------------------------------

enum class Pass : std::uint8_t { Generator, Filter, Warp, Combine };

// A whole-layer kernel, bit-identical to the pass driver run with the entry's
// operator. Called only with an instruction that fits (InstructionFits).
using KernelFunction = void (*)(TextureLayers&, const Instruction&);

struct OpcodeEntry {
    std::uint8_t opcode;                // stable id; the high nibble names the pass
    const char* name;                   // operator name
    Pass pass;                          // the driver that runs it
    GeneratorFunction generator;        // set for Pass::Generator, else null
    FilterFunction filter;              // set for Pass::Filter, else null
    DisplacementFunction displacement;  // set for Pass::Warp, else null
    CombinerFunction combiner;          // set for Pass::Combine, else null
    KernelFunction kernel;              // optimised whole-layer version
};

// The 16 operators, grouped by pass in opcode order.
std::span<const OpcodeEntry> OpcodeTable();

// The entry for an opcode, or nullptr for a no-operation (a table look-up).
const OpcodeEntry* FindOpcode(std::uint8_t opcode);

// True when the instruction's layer (and, for generators, channel; for
// combiners, source layer) lie inside the machine.
bool InstructionFits(const Instruction& in, Pass pass);

// Clears all four layers, then runs the script's instructions in order with
// the optimised kernels. Returns layer 0, the image. See the conventions for
// a byte string that is shorter than its count says.
const Layer& RunScript(TextureLayers& layers, std::span<const std::uint8_t> script);

// The same through the pass drivers and per-pixel operators: the plain form
// of the arithmetic, used to check RunScript and as the benchmark baseline.
const Layer& RunScriptReference(TextureLayers& layers, std::span<const std::uint8_t> script);

}  // namespace texgen
