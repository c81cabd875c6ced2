// The point-sprite probe against scripted extension strings and drivers.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/point_sprites.h"

namespace {

std::vector<std::string> asked;
const char* missing = nullptr;  // the name the fake driver does not know

void FakeEntryPoint() {}

void* FakeLookup(const char* name) {
    asked.emplace_back(name);
    if (missing && std::strcmp(name, missing) == 0) return nullptr;
    return reinterpret_cast<void*>(&FakeEntryPoint);
}

class PointSpriteProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        asked.clear();
        missing = nullptr;
    }
};

TEST_F(PointSpriteProbeTest, BothEntryPointsFound) {
    const auto probe = gfx::ProbePointSprites("GL_ARB_multitexture GL_ARB_point_parameters GL_ARB_point_sprite",
                                              &FakeLookup);
    EXPECT_TRUE(probe.available);
    EXPECT_NE(probe.pointParameterf, nullptr);
    EXPECT_NE(probe.pointParameterfv, nullptr);
    EXPECT_EQ(asked, (std::vector<std::string>{"glPointParameterfARB", "glPointParameterfvARB"}));
}

TEST_F(PointSpriteProbeTest, EitherEntryPointMissingClearsTheFlag) {
    for (const char* name : {"glPointParameterfARB", "glPointParameterfvARB"}) {
        missing = name;
        const auto probe = gfx::ProbePointSprites("GL_ARB_point_parameters", &FakeLookup);
        EXPECT_FALSE(probe.available) << name;
    }
}

TEST_F(PointSpriteProbeTest, WithoutTheExtensionNothingIsLookedUp) {
    EXPECT_FALSE(gfx::ProbePointSprites("GL_ARB_multitexture GL_ARB_point_sprite", &FakeLookup).available);
    EXPECT_FALSE(gfx::ProbePointSprites("", &FakeLookup).available);
    EXPECT_FALSE(gfx::ProbePointSprites(nullptr, &FakeLookup).available);
    EXPECT_TRUE(asked.empty());
    // A substring test: a longer name that contains it counts too.
    EXPECT_TRUE(gfx::ProbePointSprites("GL_ARB_point_parameters_extra", &FakeLookup).available);
}

}  // namespace
