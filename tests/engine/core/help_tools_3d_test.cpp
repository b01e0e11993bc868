// Picking: rays through the client area with the engine's projection and the camera's view, and the
// ray-box test with its entry distance.
#include "core/help_tools_3d.h"
#include "core/kamera_klass.h"
#include "engine/core/engine_device.h"

#include <cmath>

namespace {

class HelpTools3DTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        tools = HelpTools3D::GetExemplar();
        EXPECT_TRUE(tools->InitTools());
        SetView(0.0f, 0.0f, 0.0f, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }

    // Places the camera and sets its view matrix on the device, as the engine root does every frame.
    void SetView(float yaw, float pitch, float roll, const D3DXVECTOR3& position) {
        KameraKlass* camera = KameraKlass::GetExemplar();
        camera->Init(0.0f, 0.0f, 0.0f);
        camera->yaw = yaw;
        camera->pitch = pitch;
        camera->roll = roll;
        camera->position = position;
        D3DXMATRIX view;
        camera->SetupViewMatrix(&view);
        device->SetTransform(D3DTS_VIEW, &view);
    }

    HelpTools3D* tools = nullptr;
};

void ExpectVector(const D3DXVECTOR3& actual, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
    EXPECT_NEAR(actual.z, z, tolerance);
}

} // namespace

TEST_F(HelpTools3DTest, ScreenEdgesGiveTheProjectionsViewDirections) {
    ExpectVector(tools->CalcPickingRay(400, 300).direction, 0.0f, 0.0f, 1.0f);
    ExpectVector(tools->CalcPickingRay(400, 0).direction, 0.0f, 0.4142136f, 1.0f);
    ExpectVector(tools->CalcPickingRay(800, 300).direction, 0.5522847f, 0.0f, 1.0f);
    ExpectVector(tools->CalcPickingRay(0, 600).direction, -0.5522847f, -0.4142136f, 1.0f);
}

TEST_F(HelpTools3DTest, CentreRayIsTheCameraLookAxisFromItsPosition) {
    SetView(0.6f, 0.9599311f, 0.2f, D3DXVECTOR3(50.0f, 40.0f, 50.0f));
    const DXRAY ray = tools->CalcPickingRay(400, 300);
    const KameraKlass* camera = KameraKlass::GetExemplar();
    ExpectVector(ray.origin, 50.0f, 40.0f, 50.0f, 1e-3f);
    ExpectVector(ray.direction, camera->look.x, camera->look.y, camera->look.z, 1e-5f);
}

TEST_F(HelpTools3DTest, BoxHitWritesTheDistanceToWhereTheRayEntersIt) {
    SetView(0.0f, 0.0f, 0.0f, D3DXVECTOR3(0.0f, 0.0f, -10.0f));
    D3DXVECTOR3 min(-1.0f, -1.0f, 5.0f);
    D3DXVECTOR3 max(1.0f, 1.0f, 8.0f);
    float distance = -1.0f;
    ASSERT_TRUE(tools->bCheckIntersectBBox(400, 300, &min, &max, &distance));
    EXPECT_NEAR(distance, 15.0f, 1e-4f);

    // The same box further away: the distance follows the box's place, not its size.
    D3DXVECTOR3 farMin(-1.0f, -1.0f, 25.0f);
    D3DXVECTOR3 farMax(1.0f, 1.0f, 28.0f);
    ASSERT_TRUE(tools->bCheckIntersectBBox(400, 300, &farMin, &farMax, &distance));
    EXPECT_NEAR(distance, 35.0f, 1e-4f);

    // Along a slanted ray the distance is measured along the ray.
    const DXRAY ray = tools->CalcPickingRay(800, 300);
    D3DXVECTOR3 sideMin(5.0f, -1.0f, -100.0f);
    D3DXVECTOR3 sideMax(6.0f, 1.0f, 100.0f);
    ASSERT_TRUE(tools->bCheckIntersectBBox(800, 300, &sideMin, &sideMax, &distance));
    const float t = 5.0f / ray.direction.x;
    EXPECT_NEAR(distance, t * std::sqrt(ray.direction.x * ray.direction.x + 1.0f), 1e-3f);
}

TEST_F(HelpTools3DTest, StartingInsideTheBoxGivesDistanceZero) {
    D3DXVECTOR3 min(-1.0f, -1.0f, -1.0f);
    D3DXVECTOR3 max(1.0f, 1.0f, 1.0f);
    float distance = -1.0f;
    ASSERT_TRUE(tools->bCheckIntersectBBox(123, 456, &min, &max, &distance));
    EXPECT_EQ(distance, 0.0f);
}

TEST_F(HelpTools3DTest, MissLeavesTheDistanceAlone) {
    D3DXVECTOR3 min(10.0f, 10.0f, 5.0f);
    D3DXVECTOR3 max(11.0f, 11.0f, 8.0f);
    float distance = 123.0f;
    EXPECT_FALSE(tools->bCheckIntersectBBox(400, 300, &min, &max, &distance));
    EXPECT_EQ(distance, 123.0f);
}

TEST(HelpTools3D, RayWithoutADeviceIsEmpty) {
    HelpTools3D* tools = HelpTools3D::GetExemplar();
    const DXRAY before = tools->CalcPickingRay(10, 10);
    EXPECT_EQ(before.direction, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    tools->InitTools();
    EXPECT_EQ(tools->CalcPickingRay(10, 10).origin, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
}
