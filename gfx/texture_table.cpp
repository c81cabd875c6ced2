#include "gfx/texture_table.h"

#include <new>

#include "gfx/gl.h"

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
    TextureSlot* const order[] = {
        &textures.texGenSpotsRGB, &textures.texGenFire,     &textures.texGenSpot,     &textures.texGenUnusedGreen,
        &textures.texGenWarpGrey, &textures.texLogo,        &textures.texFont2,       &textures.texFont,
        &textures.texWhite,       &textures.texRock,        &textures.texCredits,     &textures.texCaustics[0],
        &textures.texCaustics[1], &textures.texCaustics[2], &textures.texCaustics[3],
    };
    for (TextureSlot* slot : order) {
        if (!*slot) continue;
        const GLuint name = (*slot)->name;
        glDeleteTextures(1, &name);
        slot->reset();
    }
}

void BindTexture(const TextureSlot& slot) { glBindTexture(GL_TEXTURE_2D, slot ? slot->name : 0); }

}  // namespace gfx
