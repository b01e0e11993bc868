// The camera: view matrix, visibility window, height rule, moves along its axes and timed moves.
#include "core/kamera_klass.h"
#include "engine/device_probes.h"
#include "win32/mmsystem.h"

#include <gtest/gtest.h>

namespace {

KameraKlass* FreshCamera() {
    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->Init(0.0f, 0.0f, 0.0f);
    return camera;
}

void ExpectVector(const D3DXVECTOR3& actual, float x, float y, float z, float tolerance = 1e-5f) {
    ExpectNear(actual, D3DXVECTOR3(x, y, z), tolerance);
}

} // namespace

TEST(KameraKlass, ViewMatrixIsTheInverseOfTheCameraPlacement) {
    KameraKlass* camera = FreshCamera();
    camera->Rotate(0.9599311f, 0.7f, -0.3f);
    camera->position = D3DXVECTOR3(50.0f, 40.0f, 50.0f);
    D3DXMATRIX view;
    EXPECT_TRUE(camera->SetupViewMatrix(&view));
    ExpectNear(view, CameraView(0.7f, 0.9599311f, -0.3f, camera->position), 1e-4f);
}

TEST(KameraKlass, VisibilityWindowEdgesAreStrict) {
    KameraKlass* camera = FreshCamera();
    D3DXMATRIX view;
    camera->Rotate(0.5f, 2.0f, 1.0f); // turning changes nothing
    camera->SetupViewMatrix(&view);
    camera->position = D3DXVECTOR3(100.0f, 30.0f, 200.0f);
    const struct {
        D3DVECTOR min, max;
        bool inSight;
    } rows[] = {
        {{60, -1000, 220}, {140, 1000, 260}, true}, // inside, at any height
        {{60, 0, 210}, {140, 5, 260}, false},       // near edge exactly at z + 10
        {{60, 0, 210.01f}, {140, 5, 260}, true},    // just behind the near edge
        {{60, 0, 220}, {155, 5, 260}, false},       // right edge exactly at x + 55
        {{60, 0, 220}, {154.99f, 5, 260}, true},    // just inside the right edge
        {{45, 0, 220}, {140, 5, 260}, false},       // left edge exactly at x - 55
        {{60, 0, 220}, {140, 5, 270}, false},       // far edge exactly at z + 70
    };
    for (const auto& row : rows) {
        EXPECT_EQ(camera->CheckIfObjectInsightViewport(&row.min, &row.max), row.inSight) << &row - rows;
    }
}

TEST(KameraKlass, HeightRuleClampsAndTiltsAndMovesFollowTheLastViewMatrix) {
    KameraKlass* camera = FreshCamera();
    camera->position = D3DXVECTOR3(7.0f, 0.0f, 9.0f);
    const float rows[][3] = {
        {100.0f, 50.0f, 0.9948376f}, {0.0f, 25.0f, 0.5585054f}, {40.0f, 40.0f, 0.8203048f}};
    for (const auto& row : rows) {
        EXPECT_TRUE(camera->SetCoConflictHeight(row[0]));
        ExpectVector(camera->position, 7.0f, row[1], 9.0f, 0.0f);
        EXPECT_NEAR(camera->pitch, row[2], 1e-6f) << row[0];
    }

    // Each distance goes along its own axis: right, up and look are the rows of the rotation matrix,
    // and until the next view matrix they are the ones Init set.
    camera = FreshCamera();
    camera->Rotate(0.3f, 0.7f, -0.4f);
    camera->Move(2.0f, -3.0f, 5.0f);
    ExpectVector(camera->position, 2.0f, -3.0f, 5.0f, 0.0f);
    D3DXMATRIX view;
    D3DXMATRIX rotation;
    camera->SetupViewMatrix(&view);
    camera->Move(2.0f, -3.0f, 5.0f);
    D3DXMatrixRotationYawPitchRoll(&rotation, 0.7f, 0.3f, -0.4f);
    const auto along = [&](int column) {
        return 2.0f * rotation.m[0][column] - 3.0f * rotation.m[1][column] + 5.0f * rotation.m[2][column];
    };
    ExpectVector(camera->position, 2.0f + along(0), -3.0f + along(1), 5.0f + along(2));
}

TEST(KameraKlass, TimedMoveFollowsElapsedTimeAndLandsOnTarget) {
    platform::SetClockForTesting(5000);
    KameraKlass* camera = FreshCamera();
    camera->position = D3DXVECTOR3(10.0f, 20.0f, 30.0f);
    const D3DVECTOR target{13.1f, 17.3f, 41.7f};
    const D3DVECTOR angles{0.3f, -0.7f, 0.11f};
    const D3DVECTOR other{0.0f, 500.0f, 0.0f};
    EXPECT_TRUE(camera->MoveSlightlytoPos(&target, &angles, 300));
    EXPECT_TRUE(camera->MoveSlightlytoPos(&other, &other, 10)) << "ignored while the first one runs";
    for (uint32_t now : {5100u, 5200u}) {
        platform::SetClockForTesting(now);
        EXPECT_FALSE(camera->UpdateMoveCam());
        const float part = float(now - 5000) / 300.0f;
        ExpectVector(camera->position, 10.0f + 3.1f * part, 20.0f - 2.7f * part, 30.0f + 11.7f * part, 1e-4f);
        EXPECT_NEAR(camera->yaw, -0.7f * part, 1e-5f);
    }
    for (uint32_t now : {5450u, 6000u}) {
        platform::SetClockForTesting(now);
        camera->UpdateMoveCam();
        EXPECT_FALSE(camera->moving);
        ExpectVector(camera->position, 13.1f, 17.3f, 41.7f, 0.0f);
        ExpectVector(D3DXVECTOR3(camera->pitch, camera->yaw, camera->roll), 0.3f, -0.7f, 0.11f, 0.0f);
    }

    EXPECT_TRUE(camera->MoveSlightlytoPos(&other, &target, 0));
    EXPECT_FALSE(camera->moving) << "a move of no duration jumps";
    ExpectVector(camera->position, 0.0f, 500.0f, 0.0f, 0.0f);
    const D3DVECTOR velocity{0.5f, 0.0f, -0.25f};
    EXPECT_FALSE(camera->SetMoveVector(&velocity));
    platform::SetClockForTesting(6040);
    camera->UpdateMoveCam();
    ExpectVector(camera->position, 20.0f, 500.0f, -10.0f);
    EXPECT_FALSE(camera->moving) << "a move vector is no timed move";
}
