// Models drawn on the software device through the model table: the MD2 cube, whose frames differ in
// size, and billboard strips showing the object's frame with its transparency, the right way round.
#include "engine_setup.h"

#include "d3d9/d3d9_testing.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"

#include <gtest/gtest.h>

namespace {

using namespace models_test;

constexpr D3DCOLOR BACKGROUND = 0xFF102030;
const POINT CENTRE = {SCREEN_WIDTH / 2, SCREEN_HEIGHT / 2};

} // namespace

TEST_F(EngineTest, Md2FramesAndBillbordStripFramesShowOnScreen) {
    ModelManager* models = ModelManager::GetExemplar();
    ASSERT_TRUE(models->Init(3));
    PlaceCamera(device, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    const auto draw = [&](GFXObject& object, DWORD cull = D3DCULL_CCW) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, BACKGROUND, 1.0f, 0);
        device->BeginScene();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, cull);
        EXPECT_TRUE(models->RenderModel(&object));
        device->EndScene();
    };

    // Scale 2: frame 0 has an edge of 4, frame 2 an edge of 12 (front face at z = 34). The point probed
    // off the centre lies on frame 2's front face only.
    GFXObject cube;
    cube.modelId = models->PrepareModelMD2("cube.md2", "skin.png", 2.0f, -1);
    ASSERT_GE(cube.modelId, 0);
    cube.position = D3DXVECTOR3(0.0f, 0.0f, 40.0f);
    const POINT onlyLarge = ProjectToScreen(device, D3DXVECTOR3(0.0f, 4.0f, 34.0f));
    for (int frame : {0, 2}) {
        cube.frame = frame;
        draw(cube);
        EXPECT_TRUE(PixelNear(device, CENTRE, SKIN)) << "frame " << frame;
        EXPECT_TRUE(PixelNear(device, onlyLarge, frame == 2 ? SKIN : BACKGROUND)) << "frame " << frame;
    }
    // The faces point outward: culling counter-clockwise triangles keeps the near face, culling
    // clockwise ones shows the inside of the far face.
    const WORD nearDepth = platform::d3d9::ReadDepthValue(device, CENTRE.x, CENTRE.y);
    draw(cube, D3DCULL_CW);
    EXPECT_LT(nearDepth, platform::d3d9::ReadDepthValue(device, CENTRE.x, CENTRE.y));

    // A quad 8 wide and 8 high standing on y = -4: its centre shows the frame's part of the strip, mixed
    // with the background by the object's alpha; alpha below 16 is dropped by the alpha test.
    GFXObject sprite;
    sprite.modelId = models->PrepareBillbordSprite("strip.png", 4, 4.0f, 8.0f, -1);
    ASSERT_GE(sprite.modelId, 0);
    sprite.position = D3DXVECTOR3(0.0f, -4.0f, 40.0f);
    const struct {
        int frame, alpha;
        D3DCOLOR expected;
    } rows[] = {{0, 255, STRIP[0]},    {1, 255, STRIP[1]},    {3, 0x1FF, STRIP[3]},
                {2, 0x80, 0xFF081098}, {2, 0x10, 0xFF0F1E3D}, {2, 0x0F, BACKGROUND}};
    for (const auto& row : rows) {
        sprite.frame = row.frame;
        sprite.alpha = row.alpha;
        draw(sprite);
        EXPECT_TRUE(PixelNear(device, CENTRE, row.expected, 2))
            << "frame " << row.frame << ", alpha " << row.alpha;
        EXPECT_TRUE(PixelNear(device, ProjectToScreen(device, D3DXVECTOR3(5.0f, 0.0f, 40.0f)), BACKGROUND));
    }

    // Seen from the front, a frame shows as it is drawn, neither mirrored nor upside down: frame 1 of a
    // strip of three, each 16 x 16, whose quarters differ (the other frames grey).
    const D3DCOLOR topLeft = 0xFFFF0000, topRight = 0xFF00FF00, bottomLeft = 0xFF0000FF,
                   bottomRight = 0xFFFFFFFF;
    std::vector<uint32_t> quarters(48 * 16, 0xFF808080);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 8; ++x) {
            quarters[size_t(y * 48 + 16 + x)] = y < 8 ? topLeft : bottomLeft;
            quarters[size_t(y * 48 + 24 + x)] = y < 8 ? topRight : bottomRight;
        }
    }
    testing_support::WritePng(folder / "quarters.png", quarters.data(), 48, 16);
    sprite.modelId = models->PrepareBillbordSprite("quarters.png", 3, 4.0f, 8.0f, -1);
    ASSERT_GE(sprite.modelId, 0);
    sprite.frame = 1;
    sprite.alpha = 255;
    draw(sprite);
    // The quad spans x -4 to 4 and y -4 to 4; the camera looks along +z, so +x is to the right.
    EXPECT_TRUE(PixelNear(device, ProjectToScreen(device, D3DXVECTOR3(-2.0f, 2.0f, 40.0f)), topLeft));
    EXPECT_TRUE(PixelNear(device, ProjectToScreen(device, D3DXVECTOR3(2.0f, 2.0f, 40.0f)), topRight));
    EXPECT_TRUE(PixelNear(device, ProjectToScreen(device, D3DXVECTOR3(-2.0f, -2.0f, 40.0f)), bottomLeft));
    EXPECT_TRUE(PixelNear(device, ProjectToScreen(device, D3DXVECTOR3(2.0f, -2.0f, 40.0f)), bottomRight));
}
