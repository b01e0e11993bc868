// Picking: rays through the client area with the engine's projection and the camera's view, and the
// ray-box test with its entry distance.
#include "core/help_tools_3d.h"
#include "core/kamera_klass.h"
#include "engine/core/engine_device.h"

#include <cmath>

namespace {

// Places the camera and sets its view matrix on the device, as the engine root does every frame.
void SetView(IDirect3DDevice9* device, float yaw, float pitch, const D3DXVECTOR3& position) {
    KameraKlass* camera = KameraKlass::GetExemplar();
    camera->Init(position.x, position.y, position.z);
    camera->Rotate(pitch, yaw, 0.2f * yaw);
    D3DXMATRIX view;
    camera->SetupViewMatrix(&view);
    device->SetTransform(D3DTS_VIEW, &view);
}

} // namespace

TEST_F(EngineDeviceTest, RaysFollowTheProjectionAndTheCamera) {
    HelpTools3D* tools = HelpTools3D::GetExemplar();
    ASSERT_TRUE(tools->InitTools());
    SetView(device, 0.0f, 0.0f, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    ExpectNear(tools->CalcPickingRay(400, 300).direction, D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    ExpectNear(tools->CalcPickingRay(400, 0).direction, D3DXVECTOR3(0.0f, 0.4142136f, 1.0f));
    ExpectNear(tools->CalcPickingRay(800, 300).direction, D3DXVECTOR3(0.5522847f, 0.0f, 1.0f));
    ExpectNear(tools->CalcPickingRay(0, 600).direction, D3DXVECTOR3(-0.5522847f, -0.4142136f, 1.0f));

    SetView(device, 0.6f, 0.9599311f, D3DXVECTOR3(50.0f, 40.0f, 50.0f));
    const DXRAY ray = tools->CalcPickingRay(400, 300);
    ExpectNear(ray.origin, D3DXVECTOR3(50.0f, 40.0f, 50.0f), 1e-3f);
    ExpectNear(ray.direction, KameraKlass::GetExemplar()->look);
}

TEST_F(EngineDeviceTest, BoxHitWritesTheDistanceToWhereTheRayEntersIt) {
    HelpTools3D* tools = HelpTools3D::GetExemplar();
    ASSERT_TRUE(tools->InitTools());
    SetView(device, 0.0f, 0.0f, D3DXVECTOR3(0.0f, 0.0f, -10.0f));
    const float slant = 5.0f * std::sqrt(1.0f + 1.0f / (0.5522847f * 0.5522847f));
    const struct {
        int x;
        D3DXVECTOR3 min, max;
        bool hit;
        float distance;
    } rows[] = {
        {400, {-1, -1, 5}, {1, 1, 8}, true, 15.0f},     // straight ahead
        {400, {-1, -1, 25}, {1, 1, 28}, true, 35.0f},   // further: the box's place, not its size
        {800, {5, -1, -100}, {6, 1, 100}, true, slant}, // measured along a slanted ray
        {400, {-1, -1, -11}, {1, 1, 1}, true, 0.0f},    // starting inside
        {400, {10, 10, 5}, {11, 11, 8}, false, 123.0f}, // a miss leaves the distance alone
    };
    for (const auto& row : rows) {
        D3DXVECTOR3 min = row.min;
        D3DXVECTOR3 max = row.max;
        float distance = 123.0f;
        EXPECT_EQ(tools->bCheckIntersectBBox(row.x, 300, &min, &max, &distance), row.hit) << &row - rows;
        EXPECT_NEAR(distance, row.distance, 1e-3f) << &row - rows;
    }
}

TEST(HelpTools3D, RayWithoutADeviceIsEmpty) {
    HelpTools3D* tools = HelpTools3D::GetExemplar();
    EXPECT_EQ(tools->CalcPickingRay(10, 10).direction, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    tools->InitTools();
    EXPECT_EQ(tools->CalcPickingRay(10, 10).origin, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
}
