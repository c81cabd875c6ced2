#include "scene/point_cloud.h"

#include <cmath>
#include <cstdint>

#include "gfx/gl.h"
#include "gfx/point_sprites.h"
#include "gfx/texture_table.h"
#include "scene/scene_state.h"
#include "texgen/texgen.h"

namespace scene {

namespace {

// Point i of a set, read cyclically. A set without points (a default
// PointShape, as shapeB is before the first switch) gives the origin rather
// than a division by zero.
Vector3 Stored(const data::PointShape& s, int i) {
    if (s.count < 1 || !s.points) return Vector3{};
    const data::PointXYZ& p = s.points[i % s.count];
    return Vector3{p.x, p.y, p.z} * s.scale;
}

bool FlickerEligible(const PointCloudState& cloud) { return cloud.pointScale < 1.0f && cloud.morphStep == 0; }

}  // namespace

int CloudPointCount(const PointCloudState& cloud) {
    if (cloud.morphStep > 0 && cloud.shapeB.count > cloud.shapeA.count) return cloud.shapeB.count;
    return cloud.shapeA.count;
}

Vector3 CloudPoint(const PointCloudState& cloud, int i) {
    const Vector3 a = Stored(cloud.shapeA, i);
    if (cloud.morphStep <= 0) return a;
    // d is one step's share of the way from B to A; K steps of it are taken
    // off A. At K = N this lands on B up to rounding, and set B takes over
    // exactly in that step (StepMorph).
    const float steps = static_cast<float>(cloud.morphLength);
    const Vector3 diff = a - Stored(cloud.shapeB, i);
    const Vector3 d{diff.x / steps, diff.y / steps, diff.z / steps};
    return a - d * static_cast<float>(cloud.morphStep);
}

float BaseSizeFactor(const PointCloudState& cloud) {
    const float fA = cloud.shapeA.sizeFactor;
    if (cloud.morphStep <= 0) return fA;
    const float fB = cloud.shapeB.sizeFactor;
    return fA + (fB - fA) / static_cast<float>(cloud.morphLength) * static_cast<float>(cloud.morphStep);
}

// Flat lettering (size factor below 1) twinkles at moments the page clock's
// noise picks: a high value shrinks the sprites for up to 8 more frames, a
// low one swells them for up to 3. Only one of the three cases runs per
// frame. Solids and morphs never flicker, but a countdown already running
// still counts down through them, so a flicker never resumes after a morph.
void ApplyFlicker(PointCloudState& cloud, double pageClock) {
    const bool eligible = FlickerEligible(cloud);
    if (cloud.flicker == 0.0) {
        const double r = texgen::Noise1(static_cast<std::int32_t>(pageClock * 100.0));
        if (r > 0.9 && eligible) {
            cloud.pointScale *= 0.3f;
            cloud.flicker = (texgen::Noise1(static_cast<std::int32_t>(pageClock * 50.0)) + 1.0) * 8.0;
        } else if (r < -0.93 && eligible) {
            cloud.pointScale *= 2.5f;
            cloud.flicker = -(texgen::Noise1(static_cast<std::int32_t>(pageClock * 50.0)) + 1.0) * 3.0;
        }
    } else if (cloud.flicker > 0.0) {
        if (eligible) cloud.pointScale *= 0.3f;
        cloud.flicker -= 2.0;
        if (cloud.flicker <= 0.0) cloud.flicker = 0.0;
    } else {
        if (eligible) cloud.pointScale *= 2.5f;
        cloud.flicker += 2.0;
        if (cloud.flicker >= 0.0) cloud.flicker = 0.0;
    }
}

float CappedSpriteSize(float reportedMaximum, float pointScale) {
    const float wanted = 30.0f * pointScale;
    return reportedMaximum > wanted ? wanted : reportedMaximum;
}

void SwitchShape(PointCloudState& cloud) {
    cloud.shapeIndex = (cloud.shapeIndex + 1) % static_cast<int>(data::pointShapes.size());
    cloud.shapeB = data::pointShapes[static_cast<std::size_t>(cloud.shapeIndex)];
    cloud.morphStep = 1;
}

void StepMorph(PointCloudState& cloud) {
    if (cloud.morphStep <= 0) return;
    ++cloud.morphStep;
    if (cloud.morphStep == cloud.morphLength) {
        cloud.shapeA = cloud.shapeB;
        cloud.morphStep = 0;
    }
}

BillboardAxes AxesFromModelview(const float m[16]) {
    return BillboardAxes{Vector3{m[0], m[4], m[8]}, Vector3{m[1], m[5], m[9]}};
}

void FacingQuad(const Vector3& p, const BillboardAxes& axes, float h, Vector3 corners[4]) {
    corners[0] = p - (axes.right + axes.up) * h;
    corners[1] = p + (axes.up - axes.right) * h;
    corners[2] = p + (axes.right - axes.up) * h;
    corners[3] = p + (axes.right + axes.up) * h;
}

void SetStartShape(SceneState& state) {
    state.pointCloud.shapeA = data::pointShapes[0];
    state.pointCloud.morphStep = 0;
}

void SwitchShape(SceneState& state) { SwitchShape(state.pointCloud); }

void StepMorph(SceneState& state) { StepMorph(state.pointCloud); }

void DrawPointCloud(SceneState& state, const SceneClocks& clocks) {
    DrawPointCloudWith(state.pointCloud, state.cameraAngles, clocks.pageClock);
}

void DrawPointCloudWith(PointCloudState& cloud, const float cameraAngles[3], double pageClock) {
    // Camera: a small loop 6 to 12 units out, the cloud tumbling on all axes.
    const double ax = static_cast<double>(cameraAngles[0]) * kRadiansPerDegree;
    const double ay = static_cast<double>(cameraAngles[1]) * kRadiansPerDegree;
    glTranslatef(static_cast<float>(std::sin(ax)), static_cast<float>(std::sin(ay)),
                 static_cast<float>(3.0 * std::cos(ay) - 9.0));
    glRotatef(cameraAngles[0], 1.0f, 0.0f, 0.0f);
    glRotatef(cameraAngles[1], 0.0f, 1.0f, 0.0f);
    glRotatef(cameraAngles[2], 0.0f, 0.0f, 1.0f);

    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    const BillboardAxes axes = AxesFromModelview(modelview);
    const int count = CloudPointCount(cloud);

    // The faint line through the points in index order, untextured.
    gfx::BindTexture(gfx::textures.texGenSpot);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    cloud.pointScale = BaseSizeFactor(cloud);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < count; ++i) {
        const Vector3 p = CloudPoint(cloud, i);
        glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
    glEnable(GL_TEXTURE_2D);

    ApplyFlicker(cloud, pageClock);

    glColor4f(0.6f, 0.9f, 0.7f, 0.7f);
    const float h = 0.15f * cloud.pointScale;
    if (gfx::pointSpritesAvailable) {
        const float attenuation[3] = {1.0f, 0.0f, 0.01f};
        gfx::glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
        float size = 0.0f;
        glGetFloatv(GL_POINT_SIZE_MAX_ARB, &size);
        glPointSize(CappedSpriteSize(size, cloud.pointScale));
        gfx::glPointParameterfARB(GL_POINT_FADE_THRESHOLD_SIZE_ARB, 60.0f);
        gfx::glPointParameterfARB(GL_POINT_SIZE_MIN_ARB, 1.0f);
        glTexEnvf(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, 1.0f);
        glEnable(GL_POINT_SPRITE_ARB);
        glBegin(GL_POINTS);
        for (int i = 0; i < count; ++i) {
            const Vector3 p = CloudPoint(cloud, i);
            glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
        glDisable(GL_POINT_SPRITE_ARB);
        return;
    }
    // Without the extension: one camera-facing textured quad per point.
    Vector3 c[4];
    for (int i = 0; i < count; ++i) {
        FacingQuad(CloudPoint(cloud, i), axes, h, c);
        glBegin(GL_TRIANGLE_STRIP);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(c[0].x, c[0].y, c[0].z);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(c[1].x, c[1].y, c[1].z);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(c[2].x, c[2].y, c[2].z);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(c[3].x, c[3].y, c[3].z);
        glEnd();
    }
}

}  // namespace scene
