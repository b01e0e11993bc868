// The scene objects and the object table: world matrix and box, binding to models, the drawing pass
// and the release paths.
#include "engine_setup.h"

#include "core/kamera_klass.h"
#include "d3d9/d3d9_testing.h"
#include "models/gfx_object.h"
#include "models/model_manager.h"
#include "models/object_manager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace models_test;
namespace d3d9 = platform::d3d9;

// The camera sits at (50, 40, 50) after set-up: objects are seen for x in (-5, 105), z in (60, 120).
const D3DXVECTOR3 IN_VIEW(50.0f, 0.0f, 90.0f);
const D3DXVECTOR3 OUT_OF_VIEW(50.0f, 0.0f, 0.0f);

class ObjectManagerTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        objects = ObjectManager::GetExemplar();
        ASSERT_EQ(objects, GFXMain::GetExemplar()->getObjectManager());
        ModelManager* models = ModelManager::GetExemplar();
        ASSERT_TRUE(models->Init(4));
        // Model 0: a billboard with half width 2 and height 5; model 1: the MD2 cube.
        ASSERT_EQ(models->PrepareBillbordSprite("strip.png", 4, 2.0f, 5.0f, -1), 0);
        ASSERT_EQ(models->PrepareModelMD2("cube.md2", "skin.png", 1.0f, -1), 1);
    }

    static GFXObject* NewObject(const D3DXVECTOR3& position) {
        GFXObject* object = new GFXObject();
        object->position = position;
        return object;
    }

    // Draws every object in a scene; the result of RenderAll and the draws it made.
    std::pair<bool, size_t> RenderTraced() {
        bool drawn = false;
        device->BeginScene();
        const size_t draws = TracedCalls([&] { drawn = objects->RenderAll(); }, "DrawPrimitive").size();
        device->EndScene();
        return {drawn, draws};
    }

    ObjectManager* objects = nullptr;
};

} // namespace

TEST(GFXObject, WorldMatrixTurnsAndMovesTheBoxOnlyMovesAndAlphaStartsOpaque) {
    GFXObject object;
    EXPECT_EQ(object.alpha, 255) << "a billboard drawn without setting alpha must not read garbage";
    const D3DXVECTOR3 min(-1.0f, -1.0f, -1.0f), max(1.0f, 1.0f, 1.0f);
    EXPECT_FALSE(object.CopyBoundingBox(nullptr, &max));
    EXPECT_TRUE(object.CopyBoundingBox(&min, &max));
    object.yaw = float(M_PI / 2.0);
    object.position = D3DXVECTOR3(10.0f, 2.0f, 5.0f); // no UpdMove: the getters recompute anyway
    ExpectNear(*object.GetWorldMatrix(), D3DXMATRIX(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 10, 2, 5, 1), 1e-6f);
    EXPECT_EQ(*object.GetBoundVecMin(), D3DXVECTOR3(9.0f, 1.0f, 4.0f));
    EXPECT_EQ(*object.GetBoundVecMax(), D3DXVECTOR3(11.0f, 3.0f, 6.0f));
}

TEST_F(ObjectManagerTest, RefusalsLeaveTheObjectUntouchedAndAnObjectAddedTwiceIsRefused) {
    EXPECT_FALSE(objects->Init(0));
    ASSERT_TRUE(objects->Init(2));
    EXPECT_FALSE(objects->Init(20));
    GFXObject stray;
    for (int model : {2, 7, -1}) {
        EXPECT_FALSE(objects->AddObject(&stray, model)) << "model " << model << " does not exist";
    }
    EXPECT_EQ(stray.objectIndex, -1);
    EXPECT_FALSE(objects->AddObject(nullptr, 0));
    GFXObject* object = NewObject(D3DXVECTOR3(10.0f, 1.0f, 80.0f));
    ASSERT_TRUE(objects->AddObject(object, 0));
    EXPECT_EQ(*object->GetBoundVecMin(), D3DXVECTOR3(8.0f, -4.0f, 78.0f)) << "the model's box, moved";
    EXPECT_FALSE(objects->AddObject(object, 1)) << "a second entry would delete it twice";
    EXPECT_EQ(object->modelId, 0);
    ASSERT_TRUE(objects->AddObject(NewObject(IN_VIEW), 0));
    EXPECT_FALSE(objects->AddObject(&stray, 0)) << "full";
    stray.objectIndex = 0; // claims the entry of another object: releasing it does nothing
    objects->ReleaseObject(&stray, true);
    EXPECT_EQ(objects->objectCount, 2);
    objects->ReleaseObject(object, true);
    GFXObject* next = NewObject(IN_VIEW);
    ASSERT_TRUE(objects->AddObject(next, 1));
    EXPECT_EQ(next->objectIndex, 0) << "the lowest free entry";
}

TEST_F(ObjectManagerTest, RenderAllSkipsHiddenAndDisabledObjectsAndAFailedDrawDoesNotStopThePass) {
    ASSERT_TRUE(objects->Init(8));
    GFXObject* far = NewObject(OUT_OF_VIEW);
    GFXObject* edge = NewObject(D3DXVECTOR3(103.0f, 0.0f, 90.0f)); // its box ends on the window's edge
    GFXObject* disabled = NewObject(IN_VIEW);
    disabled->enabled = false;
    GFXObject* broken = NewObject(IN_VIEW);
    broken->frame = 5; // the cube has three frames
    GFXObject* fine = NewObject(IN_VIEW);
    for (GFXObject* o : {far, edge, disabled, broken}) {
        ASSERT_TRUE(objects->AddObject(o, 0));
    }
    EXPECT_EQ(RenderTraced(), std::pair(true, size_t(1)));
    EXPECT_FALSE(far->inView || edge->inView);
    objects->ReleaseObject(broken, false);
    ASSERT_TRUE(objects->AddObject(broken, 1));
    ASSERT_TRUE(objects->AddObject(fine, 1));
    EXPECT_EQ(RenderTraced(), std::pair(false, size_t(1))) << "the fine cube is still drawn";
}

TEST_F(ObjectManagerTest, ShutDownDeletesTheObjectsStillHeld) {
    ASSERT_TRUE(objects->Init(4));
    ASSERT_TRUE(objects->AddObject(NewObject(IN_VIEW), 0));
    ASSERT_TRUE(objects->AddObject(NewObject(IN_VIEW), 1));
    delete GFXMain::GetExemplar(); // the sanitizer build reports a leak or a double deletion
}
