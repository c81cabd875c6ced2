#pragma once
// What the GL layer handed to WebGL at its last flush (recording_backend.cpp).

#include <cstdint>
#include <vector>

#include "webgl/layer.h"

struct RecordedDraw {
    unsigned mode;
    std::uint32_t firstIndex, indexCount;
    unsigned texture;
    bool sprite;
    unsigned blendSource, blendDestination, depthFunc;
    bool full;
    float rgba[4];
};

struct Recording {
    std::vector<webgl::Vertex> vertices;
    std::vector<webgl::FullVertex> fullVertices;
    std::vector<std::uint32_t> indices;  // widened from 16 bits where they came so
    unsigned indexSize = 0;
    std::vector<RecordedDraw> draws;
};

extern Recording recording;
