// The models on the engine: the MD2 model's buffer (shared by file name), skin and frames, the
// billboard's facing and refusals, and the model table's slots, releases and shut-down.
#include "engine_setup.h"
#include "md2_test_file.h"

#include "core/buffer_manager.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "models/billbord_sprite.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"
#include "models/model_md2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

using namespace models_test;
namespace d3d9 = platform::d3d9;

using ModelMD2Test = EngineTest;
using BillbordTest = EngineTest;

class ModelManagerTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        table = ModelManager::GetExemplar();
        ASSERT_EQ(table, GFXMain::GetExemplar()->getModelManager());
    }
    int Sprite(int wanted) { return table->PrepareBillbordSprite("strip.png", 4, 1.0f, 2.0f, wanted); }
    int Md2(int wanted) { return table->PrepareModelMD2("cube.md2", "skin.png", 1.0f, wanted); }

    ModelManager* table = nullptr;
};

} // namespace

TEST_F(ModelMD2Test, BoxIsFrameZerosAtEachModelsScaleWhileTheSecondModelSharesTheBufferAtTheFirstScale) {
    md2_test::WriteModel(folder / "extremes.md2", md2_test::ExtremesLast());
    ModelMD2 first(device);
    ModelMD2 second(device);
    ASSERT_TRUE(first.Create("extremes.md2", "skin.png", 1.0f));
    ASSERT_TRUE(second.Create("extremes.md2", "skin.png", 2.0f));
    EXPECT_EQ(std::vector<int>({first.frameCount, first.triangleCount, first.vertexCount, first.frameBytes,
                                first.screenFrameBytes}),
              std::vector<int>({2, 2, 6, 120, 144}));
    // The box of frame 0 only, whose extremes come in the last corners, at the model's own scale.
    ExpectNear(first.boxMin, D3DXVECTOR3(-9.0f, 3.0f, -4.0f));
    ExpectNear(first.boxMax, D3DXVECTOR3(-2.0f, 11.0f, 5.0f));
    D3DXVECTOR3 min(7.0f, 7.0f, 7.0f), max = min;
    second.GetBoundingBox(&min, nullptr);
    EXPECT_EQ(min, D3DXVECTOR3(7.0f, 7.0f, 7.0f)) << "one null pointer: nothing written";
    second.GetBoundingBox(&min, &max);
    ExpectNear(min, D3DXVECTOR3(-18.0f, 6.0f, -8.0f));
    ExpectNear(max, D3DXVECTOR3(-4.0f, 22.0f, 10.0f));

    EXPECT_EQ(first.vertexBuffer, second.vertexBuffer);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1);
    D3DVERTEXBUFFER_DESC desc{};
    BufferManager::GetExemplar()->GetVertexBuffer(first.vertexBuffer)->GetDesc(&desc);
    EXPECT_EQ(std::tuple(desc.Pool, desc.FVF, desc.Size),
              std::tuple(D3DPOOL_DEFAULT, DWORD(0x102), UINT(240)));
    // Frame f, triangle j, corner k at (f * 2 + j) * 3 + k, corners reversed: the second triangle's
    // corners are file vertices 5, 4 and 3, the last at three times the size in frame 1.
    const auto vertices =
        ReadRecords<MD2Vertex>(BufferManager::GetExemplar()->GetVertexBuffer(second.vertexBuffer), 12);
    ASSERT_EQ(vertices.size(), 12u);
    const struct {
        size_t index;
        float x, y, z, tu, tv;
    } expected[] = {{3, -5, 5, 0, 1, 0}, {5, -9, 3, 5, 1, 1}, {11, -27, 9, 15, 1, 1}};
    for (const auto& e : expected) {
        const MD2Vertex& v = vertices[e.index];
        ExpectNear(v.position, D3DXVECTOR3(e.x, e.y, e.z));
        EXPECT_FLOAT_EQ(v.tu, e.tu) << e.index;
        EXPECT_FLOAT_EQ(v.tv, e.tv) << e.index;
    }
    EXPECT_EQ(first.skinTexture, second.skinTexture) << "one skin, two holders";
    EXPECT_EQ(TexturManager::GetExemplar()->entries[first.skinTexture].filterFlag, 0);
    first.Release();
    EXPECT_NE(TexturManager::GetExemplar()->GetTextur(second.skinTexture), nullptr);
}

TEST_F(ModelMD2Test,
       MissingFileBrokenFileMissingSkinOrBillbordWithoutStripOrFramesIsRefusedAndHoldsNoTexture) {
    std::vector<uint8_t> broken = md2_test::Cube({2.0f}).Bytes();
    broken.resize(broken.size() - 10);
    testing_support::WriteFile(folder / "broken.md2", broken);
    for (const char* file : {"absent.md2", "broken.md2"}) {
        ModelMD2 model(device);
        EXPECT_FALSE(model.Create(file, "skin.png", 1.0f)) << file;
        EXPECT_EQ(model.vertexBuffer, -1) << file;
        EXPECT_EQ(model.frameCount, 0) << file;
    }
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 0);
    // A missing skin fails after the buffer was made; it stays in the pool for the next model of the file.
    ModelMD2 noSkin(device);
    EXPECT_FALSE(noSkin.Create("cube.md2", "noskin.png", 1.0f));
    EXPECT_EQ(noSkin.skinTexture, -1);
    EXPECT_EQ(noSkin.frameCount, 0);
    ModelMD2 withSkin(device);
    ASSERT_TRUE(withSkin.Create("cube.md2", "skin.png", 1.0f));
    EXPECT_EQ(withSkin.vertexBuffer, noSkin.vertexBuffer);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1);
    withSkin.Release();

    // A billboard whose strip is missing, or that has no frames, stores and holds nothing: no size, no
    // buffer, no frame to set.
    struct Refused {
        const char* file;
        int frames;
    };
    for (const Refused& refused :
         {Refused{"absent.png", 4}, Refused{"strip.png", 0}, Refused{"strip.png", -3}}) {
        SCOPED_TRACE(refused.file + std::to_string(refused.frames));
        BillbordSprite sprite(device);
        EXPECT_FALSE(sprite.Create(refused.file, refused.frames, 2.0f, 5.0f));
        EXPECT_EQ(sprite.textureId, -1);
        EXPECT_EQ(sprite.vertexBuffer, -1);
        D3DXVECTOR3 min(1.0f, 1.0f, 1.0f), max = min;
        sprite.GetBoundingBox(&min, &max);
        EXPECT_EQ(min, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        EXPECT_EQ(max, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        EXPECT_FALSE(sprite.SetFrame(0, 255));
        GFXObject object;
        EXPECT_FALSE(sprite.Render(&object));
    }
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1);
    EXPECT_EQ(HeldTextures(), 0);
    // The pool refusing the quad's buffer: false, and the strip is held until the sprite is destroyed.
    {
        BillbordSprite sprite(device);
        platform::d3d9::InjectFault(platform::d3d9::Fault::CreateVertexBuffer);
        EXPECT_FALSE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
        platform::d3d9::ClearFaults();
        EXPECT_EQ(sprite.vertexBuffer, -1);
        EXPECT_EQ(HeldTextures(), 1);
    }
    EXPECT_EQ(HeldTextures(), 0);
}

TEST_F(ModelMD2Test, FramesOutsideTheModelAreNotDrawnAndRender2DDrawsOnlyFromAScreenCopyTheUserMade) {
    ModelMD2 model(device);
    ASSERT_TRUE(model.Create("cube.md2", "skin.png", 1.0f));
    GFXObject object;
    device->BeginScene();
    const auto draws = TracedCalls(
        [&] {
            for (int frame : {-1, 3, 198}) {
                object.frame = frame;
                EXPECT_FALSE(model.Render(&object)) << "frame " << frame;
            }
        },
        "DrawPrimitive");
    EXPECT_TRUE(draws.empty());
    object.frame = 0;
    EXPECT_TRUE(TracedCalls([&] { EXPECT_FALSE(model.Render2D(&object, 10, 20)); }).empty());

    // A pretransformed copy that the user made: frame 1's first triangle covers (100, 100), (300, 100),
    // (100, 300); every other vertex lies at the origin.
    struct ScreenVertex {
        float x, y, z, rhw, tu, tv;
    };
    std::vector<ScreenVertex> copy(3 * 36, {0, 0, 0.5f, 1, 0, 0});
    copy[36] = {100, 100, 0.5f, 1, 0, 0};
    copy[37] = {300, 100, 0.5f, 1, 1, 0};
    copy[38] = {100, 300, 0.5f, 1, 0, 1};
    model.screenVertexBuffer = BufferManager::GetExemplar()->CreateVertexBuffer(
        copy.data(), int(copy.size() * sizeof(ScreenVertex)), 0x104, false);
    // States the drawing sets, each first set to something else: (stage or -1 for render states,
    // sampler states after stage states), state, value before, value expected.
    const struct {
        int stage;
        DWORD state, before, expected;
    } states[] = {{0, D3DTSS_COLOROP, D3DTOP_ADD, D3DTOP_MODULATE},
                  {0, D3DTSS_COLORARG1, D3DTA_DIFFUSE, D3DTA_TEXTURE},
                  {0, D3DTSS_COLORARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                  {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE, D3DTOP_SELECTARG1},
                  {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE},
                  {0, D3DTSS_TEXCOORDINDEX, 1, 0},
                  {1, D3DTSS_TEXCOORDINDEX, 1, 0},
                  {-1, D3DRS_SRCBLEND, D3DBLEND_ONE, D3DBLEND_SRCALPHA},
                  {-1, D3DRS_DESTBLEND, D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA},
                  {-1, D3DRS_FILLMODE, D3DFILL_WIREFRAME, D3DFILL_SOLID}};
    for (const auto& s : states) {
        s.stage < 0
            ? device->SetRenderState(D3DRENDERSTATETYPE(s.state), s.before)
            : device->SetTextureStageState(DWORD(s.stage), D3DTEXTURESTAGESTATETYPE(s.state), s.before);
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
    object.frame = 1;
    EXPECT_TRUE(model.Render2D(&object, 10, 20));
    for (const auto& s : states) {
        DWORD value = 0;
        s.stage < 0 ? device->GetRenderState(D3DRENDERSTATETYPE(s.state), &value)
                    : device->GetTextureStageState(DWORD(s.stage), D3DTEXTURESTAGESTATETYPE(s.state), &value);
        EXPECT_EQ(value, s.expected) << "stage " << s.stage << ", state " << s.state;
    }
    D3DMATRIX world;
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(std::vector<float>({world._11, world._22, world._33, world._44}),
              std::vector<float>({20, 10, 10, 1}));
    device->EndScene();
    EXPECT_TRUE(PixelNear(device, {150, 150}, SKIN));
    EXPECT_TRUE(PixelNear(device, {250, 250}, 0xFF102030)) << "beyond the triangle's diagonal";
}

TEST(BillbordFacingAngle, FollowsTheCameraAboutYWithoutNaNStraightAbove) {
    const float pi = float(M_PI);
    const struct {
        float dx, dz, angle;
    } rows[] = {{10, 0, pi / 2}, {-10, 0, -pi / 2}, {0, 5, -pi}, {0, -5, 0}, {5, 5, pi / 4}, {0, 0, 0}};
    for (const auto& row : rows) {
        EXPECT_NEAR(BillbordFacingAngle(row.dx, row.dz), row.angle, 1e-6f) << row.dx << ", " << row.dz;
    }
}

TEST_F(BillbordTest, QuadHoldsTheObjectsFrameOfTheStripAndAlphaAndTheBoxCoversEveryTurn) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    EXPECT_FALSE(sprite.Create("skin.png", 1, 1.0f, 1.0f)) << "made already";
    EXPECT_EQ(HeldTextures(), 1);
    EXPECT_EQ(TexturManager::GetExemplar()->entries[sprite.textureId].filterFlag, 1);
    // Corners (-2, 0), (-2, 5), (2, 0), (2, 5) at z = 0; frame k of 4 spans u k/4 to (k+1)/4; the colour
    // is black with the low byte of the alpha.
    const auto expectQuad = [&](BillbordSprite& s, float halfWidth, float u0, float u1, D3DCOLOR diffuse) {
        const auto v =
            ReadRecords<BillbordVertex>(BufferManager::GetExemplar()->GetVertexBuffer(s.vertexBuffer), 4);
        ASSERT_EQ(v.size(), 4u);
        const float corners[4][4] = {
            {-halfWidth, 0, u0, 1}, {-halfWidth, 5, u0, 0}, {halfWidth, 0, u1, 1}, {halfWidth, 5, u1, 0}};
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(
                std::vector<float>({v[k].position.x, v[k].position.y, v[k].position.z, v[k].tu, v[k].tv}),
                std::vector<float>({corners[k][0], corners[k][1], 0.0f, corners[k][2], corners[k][3]}))
                << k;
            EXPECT_EQ(v[k].diffuse, diffuse) << k;
        }
    };
    expectQuad(sprite, 2.0f, 0.0f, 1.0f, 0);
    ASSERT_TRUE(sprite.SetFrame(3, 0x1FF));
    expectQuad(sprite, 2.0f, 0.75f, 1.0f, 0xFF000000);
    ASSERT_TRUE(sprite.SetFrame(1, 0x80));
    expectQuad(sprite, 2.0f, 0.25f, 0.5f, 0x80000000);
    BillbordSprite single(device);
    ASSERT_TRUE(single.Create("skin.png", 1, 3.0f, 5.0f));
    ASSERT_TRUE(single.SetFrame(0, 7));
    expectQuad(single, 3.0f, 0.0f, 1.0f, 0x07000000);

    D3DXVECTOR3 min, max;
    sprite.GetBoundingBox(&min, &max);
    EXPECT_EQ(min, D3DXVECTOR3(-2.0f, -5.0f, -2.0f));
    EXPECT_EQ(max, D3DXVECTOR3(2.0f, 5.0f, 2.0f));
}

TEST_F(BillbordTest, RenderThatCannotDrawIsReportedAndStillRestoresStates) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    GFXObject object;
    device->BeginScene();
    for (d3d9::Fault fault :
         {d3d9::Fault::SetTexture, d3d9::Fault::SetStreamSource, d3d9::Fault::DrawPrimitive}) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d3d9::InjectFault(fault);
        EXPECT_FALSE(sprite.Render(&object)) << int(fault);
        d3d9::ClearFaults();
        DWORD blend = 1, cull = 0;
        device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        device->GetRenderState(D3DRS_CULLMODE, &cull);
        EXPECT_EQ(blend, DWORD(FALSE)) << int(fault);
        EXPECT_EQ(cull, DWORD(D3DCULL_CCW)) << int(fault);
    }
    EXPECT_TRUE(sprite.Render(&object));
    device->EndScene();
    EXPECT_FALSE(sprite.Render(&object)) << "outside a scene the device refuses the draw";
}

TEST_F(ModelManagerTest, WantedIdsAreTakenExactlyOrRefusedAndFailedCreationsLeaveTheirSlotFree) {
    EXPECT_FALSE(table->Init(0));
    EXPECT_EQ(Sprite(-1), -1) << "no table yet";
    ASSERT_TRUE(table->Init(4));
    EXPECT_FALSE(table->Init(8)) << "a second table would lose the models";
    EXPECT_EQ(Sprite(-1), 0);
    EXPECT_EQ(Md2(3), 3);
    EXPECT_EQ(Md2(3), -1) << "taken";
    EXPECT_EQ(Sprite(4), -1) << "outside the table, not moved to a free slot";
    EXPECT_EQ(table->PrepareModelMD2("absent.md2", "skin.png", 1.0f, -1), -1);
    EXPECT_EQ(table->PrepareBillbordSprite("strip.png", 0, 1.0f, 1.0f, 2), -1);
    EXPECT_EQ(table->slots[1].model, nullptr);
    EXPECT_EQ(table->slots[2].type, MODEL_SLOT_EMPTY);
    EXPECT_EQ(HeldTextures(), 2) << "the failed creations hold nothing";
    EXPECT_EQ(Sprite(-1), 1);
    EXPECT_EQ(Sprite(-1), 2);
    EXPECT_EQ(Sprite(-1), -1) << "full";
    EXPECT_EQ(table->slots[3].type, MODEL_SLOT_MD2);
}

TEST_F(ModelManagerTest, ReleasedModelsAnswerNothingAndGiveBackTexturesAndBuffers) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    D3DXVECTOR3 min, max;
    ASSERT_TRUE(table->GetBoundingBox4Model(&min, &max, 0));
    EXPECT_EQ(min, D3DXVECTOR3(-1.0f, -2.0f, -1.0f)) << "a billboard's box covers every turn";
    table->ReleaseModel(1);
    table->ReleaseModel(1);
    table->ReleaseModel(99);
    EXPECT_FALSE(table->GetBoundingBox4Model(&min, &max, 1));
    GFXObject object;
    object.modelId = 1;
    device->BeginScene();
    EXPECT_FALSE(table->RenderModel(&object));
    object.modelId = 0;
    EXPECT_FALSE(table->RenderModel2D(&object, 0, 0)) << "billboards have no 2D drawing";
    device->EndScene();
    table->ReleaseAll();
    EXPECT_EQ(HeldTextures(), 0);
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBufferCount, 1) << "the MD2 buffer stays under its name";
    EXPECT_EQ(Md2(-1), 0);
}

TEST_F(ModelManagerTest, ShutDownWithModelsHeldReleasesThemWhileTheCachesExist) {
    ASSERT_TRUE(table->Init(4));
    ASSERT_EQ(Sprite(-1), 0);
    ASSERT_EQ(Md2(-1), 1);
    // The root deletes the caches before the model table; the models must not reach freed caches
    // (the sanitizer build catches it).
    delete GFXMain::GetExemplar();
}
