#pragma once
// Texture images made ahead of the display. The web page makes them while
// something else keeps the show waiting (its start screen, the browser's
// sound getting ready), so that the start-up then only uploads them: the
// same images, through the same GL calls in the same order. With nothing
// prepared, LoadTextures makes each image as it goes, as the desktop does.
// Main thread only.
#include <optional>

#include "gfx/texture_slots.h"
#include "gfx/texture_table.h"

namespace gfx {

// Makes the image of every generated slot (the five scripts in their run
// order) and of every image slot (decoded at its natural size). A second
// call while the images wait makes nothing again.
void PrepareTextures();

// The slot's prepared image, handed over once. Nothing when none was made,
// or when the picture is larger than maxTextureSize: it is then decoded for
// that size as usual.
std::optional<TextureImage> TakePreparedImage(SlotId id, int maxTextureSize);

// Frees the images not taken.
void DropPreparedTextures();

}  // namespace gfx
