// LoadTextures with a resource set that has holes: a corrupt IDB_CREDITS,
// an empty IDB_FONT and no IDB_CAUST1 (IDB_CAUST2 and 3 are present, so an
// empty slot there proves they were never tried).
#include <gtest/gtest.h>

#include "gfx/image_textures.h"
#include "gfx/texture_table.h"
#include "tests/support/texture_table_test.h"

namespace {

using PartialResources = testsupport::TextureTableTest;

TEST_F(PartialResources, FailuresAreReportedAndTheRestStillLoads) {
    EXPECT_FALSE(gfx::LoadTextures());
    EXPECT_TRUE(gfx::textures.texWhite);
    EXPECT_TRUE(gfx::textures.texLogo);
    EXPECT_FALSE(gfx::textures.texCredits);  // undecodable
    EXPECT_FALSE(gfx::textures.texFont);     // empty
    EXPECT_TRUE(gfx::textures.texFont2);
    EXPECT_TRUE(gfx::textures.texRock);
    // The caustics stop at the first failure.
    EXPECT_TRUE(gfx::textures.texCaustics[0]);
    EXPECT_FALSE(gfx::textures.texCaustics[1]);
    EXPECT_FALSE(gfx::textures.texCaustics[2]);
    EXPECT_FALSE(gfx::textures.texCaustics[3]);
}

TEST_F(PartialResources, CopyResourceToMemoryReportsTheSize) {
    std::size_t size = 99;
    EXPECT_FALSE(gfx::CopyResourceToMemory("IDB_CAUST1", "MYBITMAP", &size));
    EXPECT_EQ(size, 0u);
    size = 99;
    EXPECT_FALSE(gfx::CopyResourceToMemory("IDB_FONT", "MYBITMAP", &size));
    EXPECT_EQ(size, 0u);
    // The wrong type is as good as missing.
    EXPECT_FALSE(gfx::CopyResourceToMemory("IDB_LOGO", "BITMAP", &size));
    // A corrupt one copies fine and fails to decode.
    const gfx::MemoryBlock corrupt = gfx::CopyResourceToMemory("IDB_CREDITS", "MYBITMAP", &size);
    ASSERT_TRUE(corrupt);
    EXPECT_EQ(corrupt.size, size);
    EXPECT_GT(size, 0u);
    EXPECT_FALSE(gfx::DecodePicture(corrupt, 4096));
}

}  // namespace
