// The texture cache: sharing by name, holder counts, the 30-character name cut, the full table, the
// lowest free entry, release of everything, reloading, and calls before Init.
#include "core/textur_manager.h"
#include "engine/core/engine_device.h"
#include "support/test_files.h"

#include <string>

namespace {

class TexturManagerTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        workingDirectory = std::make_unique<testing_support::WorkingDirectory>(folder.Path());
        cache = TexturManager::GetExemplar();
        cache->Init(500);
    }

    // A small picture file in the working folder.
    void MakePicture(const std::string& name, uint32_t colour = 0xFF336699) {
        const std::vector<uint32_t> pixels(4 * 4, colour);
        ASSERT_TRUE(testing_support::WritePng(folder / name, pixels.data(), 4, 4));
    }

    testing_support::TemporaryFolder folder;
    std::unique_ptr<testing_support::WorkingDirectory> workingDirectory;
    TexturManager* cache = nullptr;
};

} // namespace

TEST_F(TexturManagerTest, SameNameSharesOneTextureUntilTheLastRelease) {
    MakePicture("star.png");
    const int first = cache->LoadTextur("star.png", 1);
    const int second = cache->LoadTextur("star.png", 1);
    ASSERT_EQ(first, 0);
    EXPECT_EQ(second, first);
    IDirect3DTexture9* texture = cache->GetTextur(first);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(cache->entries[first].useCount, 2);

    EXPECT_TRUE(cache->ReleaseTextur(first));
    EXPECT_EQ(cache->GetTextur(first), texture);
    EXPECT_TRUE(cache->ReleaseTextur(first));
    EXPECT_EQ(cache->GetTextur(first), nullptr);

    MakePicture("other.png");
    EXPECT_EQ(cache->LoadTextur("other.png", 0), first) << "the freed entry is the lowest free one";
}

TEST_F(TexturManagerTest, NamesAreComparedWholeAndCaseSensitive) {
    const std::string longName = "abcdefghijklmnopqrstuvwxyz_0123.png"; // 35 characters
    MakePicture(longName);
    MakePicture("Star.png");
    MakePicture("star.png");
    const int firstLong = cache->LoadTextur(longName.c_str(), 1);
    const int secondLong = cache->LoadTextur(longName.c_str(), 1);
    ASSERT_GE(firstLong, 0);
    ASSERT_GE(secondLong, 0);
    EXPECT_NE(firstLong, secondLong) << "a name cut to 30 characters is never found again";
    EXPECT_NE(cache->GetTextur(firstLong), cache->GetTextur(secondLong));
    EXPECT_EQ(std::string(cache->entries[firstLong].name), longName.substr(0, 30));

    const int upper = cache->LoadTextur("Star.png", 1);
    const int lower = cache->LoadTextur("star.png", 1);
    EXPECT_NE(upper, lower);
}

TEST_F(TexturManagerTest, FullTableRefusesNewNamesButSharesHeldOnes) {
    cache->Init(3);
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) {
        MakePicture(name);
    }
    EXPECT_EQ(cache->LoadTextur("a.png", 1), 0);
    EXPECT_EQ(cache->LoadTextur("b.png", 1), 1);
    EXPECT_EQ(cache->LoadTextur("c.png", 1), 2);
    EXPECT_EQ(cache->LoadTextur("d.png", 1), -1);
    EXPECT_EQ(cache->LoadTextur("b.png", 1), 1);
    EXPECT_EQ(cache->entries[1].useCount, 2);
}

TEST_F(TexturManagerTest, MissingFileTakesNoEntry) {
    MakePicture("real.png");
    EXPECT_EQ(cache->LoadTextur("missing.png", 1), -1);
    EXPECT_EQ(cache->GetTextur(0), nullptr);
    EXPECT_EQ(cache->LoadTextur("real.png", 1), 0);
}

TEST_F(TexturManagerTest, IdsOutsideTheTableAreRefused) {
    EXPECT_FALSE(cache->ReleaseTextur(-1));
    EXPECT_FALSE(cache->ReleaseTextur(500));
    EXPECT_EQ(cache->GetTextur(-1), nullptr);
    EXPECT_EQ(cache->GetTextur(500), nullptr);
    EXPECT_TRUE(cache->ReleaseTextur(7)) << "a free entry inside the table";
}

TEST_F(TexturManagerTest, ReleaseAllFreesEveryEntryAndLoadsStartAgainAtZero) {
    MakePicture("a.png");
    MakePicture("b.png");
    const int a = cache->LoadTextur("a.png", 1);
    const int b = cache->LoadTextur("b.png", 1);
    cache->LoadTextur("b.png", 1);
    EXPECT_TRUE(cache->ReleaseAll());
    EXPECT_EQ(cache->GetTextur(a), nullptr);
    EXPECT_EQ(cache->GetTextur(b), nullptr);
    EXPECT_EQ(cache->LoadTextur("b.png", 1), 0);
}

TEST_F(TexturManagerTest, FilterFlagChoosesTheFilterAndIsStored) {
    MakePicture("a.png");
    MakePicture("b.png");
    const int filtered = cache->LoadTextur("a.png", 1);
    const int plain = cache->LoadTextur("b.png", 0);
    EXPECT_EQ(cache->entries[filtered].filterFlag, 1);
    EXPECT_EQ(cache->entries[plain].filterFlag, 0);
    D3DSURFACE_DESC desc{};
    cache->GetTextur(filtered)->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(cache->GetTextur(filtered)->GetLevelCount(), 3u) << "a full mip chain";
}

TEST_F(TexturManagerTest, ReloadAllReleasesTheOldTexture) {
    MakePicture("a.png", 0xFF0000FF);
    const int id = cache->LoadTextur("a.png", 1);
    IDirect3DTexture9* old = cache->GetTextur(id);
    old->AddRef();
    MakePicture("a.png", 0xFF00FF00);
    EXPECT_TRUE(cache->ReloadAll());
    EXPECT_NE(cache->GetTextur(id), nullptr);
    EXPECT_EQ(cache->entries[id].useCount, 1);
    EXPECT_EQ(old->Release(), 0u) << "the cache gave up its reference to the replaced texture";
}

TEST_F(TexturManagerTest, ReloadAllStopsAtAMissingFileAndKeepsItsTexture) {
    MakePicture("a.png");
    const int id = cache->LoadTextur("a.png", 1);
    IDirect3DTexture9* held = cache->GetTextur(id);
    std::filesystem::remove(folder / "a.png");
    EXPECT_FALSE(cache->ReloadAll());
    EXPECT_EQ(cache->GetTextur(id), held);
}

TEST(TexturManager, CallsBeforeInitReportFailure) {
    TexturManager* cache = TexturManager::GetExemplar();
    EXPECT_EQ(cache->LoadTextur("a.png", 1), -1);
    EXPECT_FALSE(cache->ReleaseTextur(0));
    EXPECT_EQ(cache->GetTextur(0), nullptr);
    EXPECT_TRUE(cache->ReleaseAll());
    EXPECT_FALSE(cache->ReloadAll());
}
