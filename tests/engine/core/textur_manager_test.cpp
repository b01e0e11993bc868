// The texture cache: sharing by name and holder counts, the 30-character name cut, the full table, the
// lowest free entry, release of everything, reloading, and calls before Init.
#include "core/textur_manager.h"
#include "engine/core/engine_device.h"
#include "support/test_files.h"

namespace {

class TexturManagerTest : public EngineDeviceTest {
protected:
    void SetUp() override {
        EngineDeviceTest::SetUp();
        cache = TexturManager::GetExemplar();
        cache->Init(500);
    }

    // Small picture files in the working folder.
    void MakePictures(std::initializer_list<std::string> names, uint32_t colour = 0xFF336699) {
        const std::vector<uint32_t> pixels(4 * 4, colour);
        for (const std::string& name : names) {
            ASSERT_TRUE(testing_support::WritePng(folder / name, pixels.data(), 4, 4));
        }
    }

    testing_support::TemporaryFolder folder;
    testing_support::WorkingDirectory workingDirectory{folder.Path()};
    TexturManager* cache = nullptr;
};

} // namespace

TEST_F(TexturManagerTest, SameNameSharesOneTextureUntilTheLastRelease) {
    const std::string longName = "abcdefghijklmnopqrstuvwxyz_0123.png"; // 35 characters
    MakePictures({"star.png", "Star.png", longName});
    EXPECT_EQ(cache->LoadTextur("missing.png", 1), -1) << "a missing file takes no entry";
    const int first = cache->LoadTextur("star.png", 1);
    ASSERT_EQ(first, 0);
    EXPECT_EQ(cache->LoadTextur("star.png", 1), first);
    IDirect3DTexture9* texture = cache->GetTextur(first);
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(cache->ReleaseTextur(first));
    EXPECT_EQ(cache->GetTextur(first), texture) << "one holder is left";
    EXPECT_TRUE(cache->ReleaseTextur(first));
    EXPECT_EQ(cache->GetTextur(first), nullptr);
    EXPECT_EQ(cache->LoadTextur("Star.png", 0), first) << "the freed entry is the lowest free one";
    EXPECT_NE(cache->LoadTextur("star.png", 0), first) << "names are case-sensitive";
    const int cut = cache->LoadTextur(longName.c_str(), 1);
    EXPECT_NE(cache->LoadTextur(longName.c_str(), 1), cut) << "a name cut to 30 characters is never found";
    EXPECT_EQ(std::string(cache->entries[cut].name), longName.substr(0, 30));

    EXPECT_FALSE(cache->ReleaseTextur(-1));
    EXPECT_FALSE(cache->ReleaseTextur(500));
    EXPECT_EQ(cache->GetTextur(500), nullptr);
    EXPECT_TRUE(cache->ReleaseTextur(7)) << "a free entry inside the table";
}

TEST_F(TexturManagerTest, FullTableRefusesNewNamesButSharesHeldOnes) {
    cache->Init(3);
    MakePictures({"a.png", "b.png", "c.png", "d.png"});
    EXPECT_EQ(cache->LoadTextur("a.png", 1), 0);
    EXPECT_EQ(cache->LoadTextur("b.png", 1), 1);
    EXPECT_EQ(cache->LoadTextur("c.png", 1), 2);
    EXPECT_EQ(cache->LoadTextur("d.png", 1), -1);
    EXPECT_EQ(cache->LoadTextur("c.png", 1), 2) << "a held name is found in the last entry too";
    EXPECT_EQ(cache->entries[2].useCount, 2);

    EXPECT_TRUE(cache->ReleaseAll());
    EXPECT_EQ(cache->GetTextur(2), nullptr);
    EXPECT_EQ(cache->LoadTextur("d.png", 1), 0) << "loads start again at 0";
    cache->Init(0); // a table of no entries refuses every call
    EXPECT_EQ(cache->capacity, 0);
    EXPECT_EQ(cache->LoadTextur("d.png", 1), -1);
    EXPECT_EQ(cache->GetTextur(0), nullptr);
    EXPECT_FALSE(cache->ReleaseTextur(0));
}

TEST_F(TexturManagerTest, ReloadAllReleasesTheOldTexture) {
    MakePictures({"a.png"}, 0xFF0000FF);
    const int id = cache->LoadTextur("a.png", 1);
    IDirect3DTexture9* old = cache->GetTextur(id);
    old->AddRef();
    MakePictures({"a.png"}, 0xFF00FF00);
    EXPECT_TRUE(cache->ReloadAll());
    EXPECT_NE(cache->GetTextur(id), nullptr);
    EXPECT_EQ(old->Release(), 0u) << "the cache gave up its reference to the replaced texture";

    IDirect3DTexture9* held = cache->GetTextur(id);
    std::filesystem::remove(folder / "a.png");
    EXPECT_FALSE(cache->ReloadAll()) << "a missing file stops the reload";
    EXPECT_EQ(cache->GetTextur(id), held) << "and its texture stays";
}

TEST(TexturManager, CallsBeforeInitReportFailure) {
    TexturManager* cache = TexturManager::GetExemplar();
    EXPECT_EQ(cache->LoadTextur("a.png", 1), -1);
    EXPECT_FALSE(cache->ReleaseTextur(0));
    EXPECT_EQ(cache->GetTextur(0), nullptr);
    EXPECT_TRUE(cache->ReleaseAll());
    EXPECT_FALSE(cache->ReloadAll());
}
