#pragma once
// The optimised whole-layer kernels, one per operator. Each gives exactly the
// bytes of its pass driver run with its per-pixel operator; they differ only
// in how the work is arranged (terms that depend on one axis are computed once
// per row or column, rows are processed as vectors). Internal to texgen;
// called only with instructions that fit the machine (InstructionFits).

#include "platform/cpu_features.h"
#include "texgen/texgen.h"

namespace texgen::kernels {

// Which instructions the kernels use where the portable code is slow (the
// warp's resampling, the generators' channel stores): the widest the
// processor has (AVX2, else SSE2, else plain code), chosen once. All paths
// give the same bytes; tests select each one in turn to check that.
//   Portable  SineWarp's sines once per row and column, resampled pixel by
//             pixel by WarpPass's own loop; byte-by-byte channel stores
//   Sse2      SineWarp 4 pixels per step (every x86-64)
//   Avx2      SineWarp 8 pixels per step, channel stores 16 bytes per step
using VectorPath = platform::VectorPath;
bool VectorPathSupported(VectorPath path);
VectorPath SelectedVectorPath();
// False (and no change) when the processor lacks the path.
bool SelectVectorPath(VectorPath path);

// The layer an instruction writes.
inline Layer& Destination(TextureLayers& layers, const Instruction& in) {
    return layers.layers[static_cast<std::size_t>(in.LayerIndex())];
}

void Fill(TextureLayers& layers, const Instruction& in);
void Noise(TextureLayers& layers, const Instruction& in);
void Spot(TextureLayers& layers, const Instruction& in);
void SmoothNoise(TextureLayers& layers, const Instruction& in);

void Brightness(TextureLayers& layers, const Instruction& in);
void SumRamp(TextureLayers& layers, const Instruction& in);
void Grey(TextureLayers& layers, const Instruction& in);

void Shift(TextureLayers& layers, const Instruction& in);
void SineWarp(TextureLayers& layers, const Instruction& in);

void Add(TextureLayers& layers, const Instruction& in);
void Subtract(TextureLayers& layers, const Instruction& in);
void Multiply(TextureLayers& layers, const Instruction& in);
void Min(TextureLayers& layers, const Instruction& in);
void Max(TextureLayers& layers, const Instruction& in);
void Copy(TextureLayers& layers, const Instruction& in);
void Mix(TextureLayers& layers, const Instruction& in);

}  // namespace texgen::kernels
