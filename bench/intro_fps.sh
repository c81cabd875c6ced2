#!/usr/bin/env bash
# The intro's frames per second under Xvfb with Mesa llvmpipe, the main
# thread's CPU time per frame and (raster_ms) that of llvmpipe's rasterising
# threads: one main-mode frame (DrawScene and the swap, after the real
# start-up of textures, tube and scene) on an X window.
# Usage: bench/intro_fps.sh   (build the scene_bench target of build/default first)
set -euo pipefail
bench=$(cd "$(dirname "$0")/.." && pwd)/build/default/bench/scene/scene_bench
export SDL_VIDEODRIVER=x11 LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 640x480x24" "$bench" --benchmark_filter=BM_SceneFrame --benchmark_min_time=3
