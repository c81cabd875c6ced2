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
};

struct Recording {
    std::vector<webgl::Vertex> vertices;
    std::vector<std::uint32_t> indices;
    std::vector<RecordedDraw> draws;
};

extern Recording recording;
