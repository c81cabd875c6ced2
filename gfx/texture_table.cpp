#include "gfx/texture_table.h"

#include <new>

#include "gfx/gl.h"
#include "gfx/texture_slots.h"

namespace gfx {

TextureTable textures;

TextureSlot CreateTexture(TextureImage image) {
    TextureSlot cell(new (std::nothrow) TextureHandle);
    if (!cell) return cell;
    GLuint name = 0;
    glGenTextures(1, &name);
    cell->name = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, image.internalFormat, image.width, image.height, 0, image.pixelFormat,
                 GL_UNSIGNED_BYTE, image.pixels.data());
    return cell;  // the image's pixels are released on return
}

void DeleteTextures() {
    for (SlotId id : deletionOrder) {
        TextureSlot& slot = SlotOf(textures, id);
        if (!slot) continue;
        const GLuint name = slot->name;
        glDeleteTextures(1, &name);
        slot.reset();
    }
}

void BindTexture(const TextureSlot& slot) { glBindTexture(GL_TEXTURE_2D, slot ? slot->name : 0); }

}  // namespace gfx
