// The billboard sprite: the facing angle, the quad it rebuilds per frame and alpha, the states it
// leaves behind, and its refusals.
#include "engine_setup.h"

#include "core/buffer_manager.h"
#include "core/kamera_klass.h"
#include "core/textur_manager.h"
#include "d3d9/d3d9_testing.h"
#include "models/billbord_sprite.h"
#include "models/gfx_object.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using namespace models_test;
namespace d3d9 = platform::d3d9;

TEST(BillbordFacingAngle, FollowsTheCameraAboutY) {
    struct Row {
        float dx, dz, angle;
        const char* what;
    };
    const float pi = float(M_PI);
    const Row rows[] = {
        {10.0f, 0.0f, pi / 2.0f, "camera on +x"},
        {-10.0f, 0.0f, -pi / 2.0f, "camera on -x"},
        {0.0f, 5.0f, -pi, "camera on +z (infinite ratio)"},
        {0.0f, -5.0f, 0.0f, "camera on -z"},
        {5.0f, 5.0f, pi / 4.0f, "diagonal"},
        {0.0f, 0.0f, 0.0f, "camera straight above: no direction, no NaN"},
    };
    for (const Row& row : rows) {
        const float angle = BillbordFacingAngle(row.dx, row.dz);
        EXPECT_FALSE(std::isnan(angle)) << row.what;
        EXPECT_NEAR(angle, row.angle, 1e-6f) << row.what;
    }
}

class BillbordTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = SetUpEngine();
        ASSERT_NE(device, nullptr);
        WriteStrip(folder / "strip.png", 16, 16, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00});
    }

    std::vector<BillbordVertex> Quad(const BillbordSprite& sprite) {
        std::vector<BillbordVertex> quad;
        IDirect3DVertexBuffer9* buffer = BufferManager::GetExemplar()->GetVertexBuffer(sprite.vertexBuffer);
        void* data = nullptr;
        if (buffer == nullptr || FAILED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY))) {
            return quad;
        }
        quad.resize(4);
        std::memcpy(quad.data(), data, 4 * sizeof(BillbordVertex));
        buffer->Unlock();
        return quad;
    }

    DWORD State(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }

    IDirect3DDevice9* device = nullptr;
    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(BillbordTest, SetFrameSelectsThePartOfTheStripAndTheLowByteOfAlpha) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    const int id = sprite.vertexBuffer;
    EXPECT_EQ(BufferManager::GetExemplar()->vertexBuffers[id].vertexFormat, 0x142u);
    struct Row {
        int frame, alpha;
        float u0, u1;
        D3DCOLOR diffuse;
    };
    const Row rows[] = {{0, 255, 0.0f, 0.25f, 0xFF000000u},
                        {3, 0x1FF, 0.75f, 1.0f, 0xFF000000u},
                        {1, 0, 0.25f, 0.5f, 0u},
                        {2, 0x80, 0.5f, 0.75f, 0x80000000u}};
    for (const Row& row : rows) {
        ASSERT_TRUE(sprite.SetFrame(row.frame, row.alpha)) << row.frame;
        EXPECT_EQ(sprite.vertexBuffer, id) << "rebuilt in its slot";
        const std::vector<BillbordVertex> quad = Quad(sprite);
        ASSERT_EQ(quad.size(), 4u);
        EXPECT_EQ(quad[0].position, D3DXVECTOR3(-2.0f, 0.0f, 0.0f));
        EXPECT_EQ(quad[3].position, D3DXVECTOR3(2.0f, 5.0f, 0.0f));
        EXPECT_FLOAT_EQ(quad[0].tv, 1.0f);
        EXPECT_FLOAT_EQ(quad[1].tv, 0.0f);
        EXPECT_FLOAT_EQ(quad[0].tu, row.u0) << row.frame;
        EXPECT_FLOAT_EQ(quad[1].tu, row.u0) << row.frame;
        EXPECT_FLOAT_EQ(quad[2].tu, row.u1) << row.frame;
        EXPECT_FLOAT_EQ(quad[3].tu, row.u1) << row.frame;
        for (const BillbordVertex& v : quad) {
            EXPECT_EQ(v.diffuse, row.diffuse) << row.frame;
        }
    }
}

TEST_F(BillbordTest, BillbordWithZeroOrNegativeFramesIsRefused) {
    for (int frames : {0, -3}) {
        BillbordSprite sprite(device);
        EXPECT_FALSE(sprite.Create("strip.png", frames, 1.0f, 1.0f)) << frames;
        EXPECT_EQ(sprite.textureId, -1);
        EXPECT_EQ(sprite.vertexBuffer, -1);
        EXPECT_FALSE(sprite.SetFrame(0, 255));
    }
    EXPECT_EQ(TexturManager::GetExemplar()->GetTextur(0), nullptr) << "no texture left held";
}

TEST_F(BillbordTest, BoundingBoxCoversEveryTurnAndReachesDownToMinusHeight) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    D3DXVECTOR3 min, max;
    sprite.GetBoundingBox(&min, &max);
    EXPECT_EQ(min, D3DXVECTOR3(-2.0f, -5.0f, -2.0f));
    EXPECT_EQ(max, D3DXVECTOR3(2.0f, 5.0f, 2.0f));
    D3DXVECTOR3 untouched(9.0f, 9.0f, 9.0f);
    sprite.GetBoundingBox(&untouched, nullptr);
    EXPECT_EQ(untouched, D3DXVECTOR3(9.0f, 9.0f, 9.0f));
}

TEST_F(BillbordTest, RenderLeavesOnlyTheRestoredStatesChanged) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    GFXObject object;
    object.position = D3DXVECTOR3(0.0f, 0.0f, 30.0f);
    device->BeginScene();
    EXPECT_TRUE(sprite.Render(&object));
    device->EndScene();
    D3DMATRIX world;
    device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_TRUE(D3DXMatrixIsIdentity(reinterpret_cast<D3DXMATRIX*>(&world)));
    EXPECT_EQ(State(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), DWORD(FALSE));
    EXPECT_EQ(State(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(State(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(State(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(State(D3DRS_ALPHAREF), 0x10u);
    DWORD op = 0;
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &op);
    EXPECT_EQ(op, DWORD(D3DTOP_MODULATE));
}

TEST_F(BillbordTest, RenderThatCannotDrawStillRestoresStates) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    GFXObject object;
    device->BeginScene();
    for (d3d9::Fault fault : {d3d9::Fault::SetTexture, d3d9::Fault::SetFVF, d3d9::Fault::SetStreamSource}) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d3d9::InjectFault(fault);
        EXPECT_FALSE(sprite.Render(&object)) << int(fault);
        d3d9::ClearFaults();
        EXPECT_EQ(State(D3DRS_ALPHABLENDENABLE), DWORD(FALSE)) << int(fault);
        EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), DWORD(FALSE)) << int(fault);
        EXPECT_EQ(State(D3DRS_CULLMODE), DWORD(D3DCULL_CCW)) << int(fault);
    }
    device->EndScene();
}

TEST_F(BillbordTest, FailedBillbordDrawIsReportedAsFailure) {
    BillbordSprite sprite(device);
    ASSERT_TRUE(sprite.Create("strip.png", 4, 2.0f, 5.0f));
    GFXObject object;
    device->BeginScene();
    d3d9::InjectFault(d3d9::Fault::DrawPrimitive);
    EXPECT_FALSE(sprite.Render(&object));
    d3d9::ClearFaults();
    EXPECT_TRUE(sprite.Render(&object));
    device->EndScene();
    // Outside a scene the device refuses the draw; that is a failure too.
    EXPECT_FALSE(sprite.Render(&object));
}

} // namespace
