// D3DXCreateTextureFromFileExA on the software device, called as the texture cache calls it: the
// texture's size, format, levels and pixels with the colour key, and every failure (missing, damaged,
// oversized files, device faults) leaving no texture behind.
#include "picture_files.h"

#include "d3dx9/d3dx9.h"
#include "platform/d3d9/device_fixture.h"

#include <gtest/gtest.h>

#include "support/process_probes.h"
#include "support/test_files.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using picture_files::Pattern;
using picture_files::Source;

// The device of the device tests, with the pictures' folder beside it.
class TextureLoader : public d3d9test::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(picture_files::ConvertAvailable()) << "ImageMagick's convert is needed";
        std::filesystem::create_directories(folder / "Grafik");
    }

    void Write(const Source& source, const char* target, const char* options) {
        ASSERT_FALSE(picture_files::Convert(source, folder / "Grafik", target, options).empty()) << target;
    }

    // Loads as the texture cache does; `path` is relative to the temporary folder, with backslashes.
    HRESULT Load(const std::string& path, IDirect3DTexture9** texture) {
        testing_support::WorkingDirectory inFolder(folder.Path());
        return D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                            D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                            D3DX_FILTER_TRIANGLE, 0xFF000000, nullptr, nullptr, texture);
    }

    std::vector<uint32_t> ReadLevel(IDirect3DTexture9* texture, UINT level, D3DSURFACE_DESC* desc) {
        EXPECT_EQ(texture->GetLevelDesc(level, desc), D3D_OK);
        D3DLOCKED_RECT locked = {};
        std::vector<uint32_t> pixels;
        if (texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) {
            ADD_FAILURE() << "level " << level << " cannot be locked";
            return pixels;
        }
        for (UINT y = 0; y < desc->Height; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                          y * locked.Pitch);
            pixels.insert(pixels.end(), row, row + desc->Width);
        }
        texture->UnlockRect(level);
        return pixels;
    }

    testing_support::TemporaryFolder folder;
};

TEST_F(TextureLoader, CreatesAManagedA8R8G8B8TextureWithTheFullChainAndTheColourKey) {
    // A gradient with a band of opaque black on the left (keyed) and a column of nearly black (kept).
    Source source = picture_files::MakeSource(Pattern::Gradient, 40, 24);
    for (uint32_t y = 0; y < 24; ++y) {
        for (uint32_t x = 0; x < 5; ++x) {
            source.pixels[y * 40 + x] = x < 4 ? 0xFF000000u : 0xFF000001u;
        }
    }
    Write(source, "DDS:stone1.dds", "-define dds:compression=none -define dds:mipmaps=0");
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Load("Grafik\\stone1.dds", &texture), D3D_OK) << platform::LastTextureLoadError();
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(platform::LastTextureLoadError().empty());
    ASSERT_EQ(texture->GetLevelCount(), 6u);

    D3DSURFACE_DESC desc = {};
    std::vector<uint32_t> top = ReadLevel(texture, 0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ASSERT_EQ(desc.Width, 40u);
    ASSERT_EQ(desc.Height, 24u);
    for (size_t i = 0; i < top.size(); ++i) {
        uint32_t expected = source.pixels[i] == 0xFF000000u ? 0u : source.pixels[i];
        ASSERT_EQ(top[i], expected) << "texel " << i % 40 << "," << i / 40;
    }
    // The smallest level averages everything, the transparent band included.
    std::vector<uint32_t> last = ReadLevel(texture, 5, &desc);
    EXPECT_EQ(desc.Width * desc.Height, 1u);
    double alphaSum = 0;
    for (uint32_t p : top) {
        alphaSum += p >> 24;
    }
    EXPECT_NEAR(static_cast<double>(last[0] >> 24), alphaSum / top.size(), 3.0);
    texture->Release();
}

TEST_F(TextureLoader, MissingDamagedOversizedFilesAndDeviceFailuresCreateNothing) {
    Write(picture_files::MakeSource(Pattern::Gradient, 40, 24), "PNG32:ok.png", "");
    std::vector<uint8_t> bytes = testing_support::ReadFile(folder / "Grafik" / "ok.png");
    testing_support::WriteFile(folder / "Grafik" / "cut.png",
                               std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    testing_support::WriteFile(folder / "Grafik" / "text.dds", {'h', 'e', 'l', 'l', 'o'});
    std::ofstream(folder / "Grafik" / "empty.bmp").close();

    struct Row {
        const char* path;
        HRESULT expected;
    } rows[] = {
        {"Grafik\\missing.png", D3DERR_NOTFOUND},   {"Grafik", D3DERR_NOTFOUND},
        {"Grafik\\cut.png", D3DXERR_INVALIDDATA},   {"Grafik\\text.dds", D3DXERR_INVALIDDATA},
        {"Grafik\\empty.bmp", D3DXERR_INVALIDDATA},
    };
    platform::d3d9::EnableCallTrace(true);
    platform::d3d9::ClearCallTrace();
    for (const Row& row : rows) {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(this); // must be overwritten
        EXPECT_EQ(Load(row.path, &texture), row.expected) << row.path;
        EXPECT_EQ(texture, nullptr) << row.path;
        EXPECT_FALSE(platform::LastTextureLoadError().empty()) << row.path;
    }

    platform::d3d9::SetMaxTextureSize(32, 32);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(Load("Grafik\\ok.png", &texture), D3DERR_NOTAVAILABLE) << "40 x 24 is wider than 32";
    EXPECT_EQ(texture, nullptr);
    EXPECT_NE(platform::LastTextureLoadError().find("maximum texture size"), std::string::npos);
    EXPECT_TRUE(platform::d3d9::CallTraceLines("CreateTexture").empty()) << "nothing was created";

    platform::d3d9::SetMaxTextureSize(40, 24);
    EXPECT_EQ(Load("Grafik\\ok.png", &texture), D3D_OK) << "exactly the maximum size is fine";
    texture->Release();

    // The device refuses the texture.
    platform::d3d9::InjectFault(platform::d3d9::Fault::CreateTexture);
    EXPECT_TRUE(FAILED(Load("Grafik\\ok.png", &texture)));
    EXPECT_EQ(texture, nullptr);
    platform::d3d9::ClearFaults();

    // The third level's lock fails: the half-filled texture is released, not returned.
    platform::d3d9::InjectFault(platform::d3d9::Fault::TextureLock, 2, 1);
    EXPECT_TRUE(FAILED(Load("Grafik\\ok.png", &texture)));
    EXPECT_EQ(texture, nullptr);
    platform::d3d9::ClearFaults();

    EXPECT_EQ(Load("Grafik\\ok.png", &texture), D3D_OK) << "the device works again";
    texture->Release();
}

// A background chosen from a FIFO or a device, or a huge sparse file, is refused before it is read: no
// wait for a writer, and none of the hundreds of megabytes a read up to the size limit would take.
TEST_F(TextureLoader, FifoDeviceOrHugeFileAsAPictureIsRefusedAtOnceWithoutBeingRead) {
    ASSERT_EQ(mkfifo((folder / "Grafik" / "fifo.jpg").c_str(), 0644), 0);
    testing_support::WriteFile(folder / "Grafik" / "huge.bmp", {'B', 'M'});
    std::filesystem::resize_file(folder / "Grafik" / "huge.bmp", 300u << 20);
    const struct {
        const char* path;
        HRESULT expected;
    } rows[] = {{"Grafik\\fifo.jpg", D3DERR_NOTFOUND},
                {"/dev/zero", D3DERR_NOTFOUND},
                {"/dev/urandom", D3DERR_NOTFOUND},
                {"Grafik\\huge.bmp", D3DXERR_INVALIDDATA}};
    const long before = testing_support::PeakResidentKilobytes();
    alarm(10); // a blocking open ends the test process instead of hanging the run
    for (const auto& row : rows) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(Load(row.path, &texture), row.expected) << row.path;
        EXPECT_EQ(texture, nullptr) << row.path;
    }
    alarm(0);
    EXPECT_LT(testing_support::PeakResidentKilobytes() - before, 16 * 1024)
        << "kilobytes of peak memory added by the loads";
}

} // namespace
