// D3DXCreateTextureFromFileExA on the software device, called as the texture cache calls it: the
// texture's size, format, levels and pixels with the colour key, pictures larger than the device
// allows made smaller with each filter, and every failure (missing, damaged or oversized files,
// requests not served, device faults) leaving no texture behind.
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

// The arguments of a load; the defaults are those the texture cache passes.
struct Request {
    UINT width = D3DX_DEFAULT, height = D3DX_DEFAULT, mipLevels = D3DX_DEFAULT;
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    DWORD filter = D3DX_FILTER_TRIANGLE;
    D3DXIMAGE_INFO* info = nullptr;
    PALETTEENTRY* palette = nullptr;
};

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
    HRESULT Load(const std::string& path, IDirect3DTexture9** texture, const Request& request = {}) {
        testing_support::WorkingDirectory inFolder(folder.Path());
        return D3DXCreateTextureFromFileExA(device, path.c_str(), request.width, request.height,
                                            request.mipLevels, 0, request.format, D3DPOOL_MANAGED,
                                            request.filter, D3DX_FILTER_TRIANGLE, 0xFF000000, request.info,
                                            request.palette, texture);
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

TEST_F(TextureLoader, MissingOrDamagedFilesUnservedRequestsAndDeviceFailuresCreateNothing) {
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

    // Requests the loader does not serve fail, and so does a device without textures.
    IDirect3DTexture9* texture = nullptr;
    PALETTEENTRY palette[256] = {};
    D3DXIMAGE_INFO* info = reinterpret_cast<D3DXIMAGE_INFO*>(palette);
    const struct {
        const char* what;
        Request request;
        HRESULT expected;
    } requests[] = {
        {"no filter", {.filter = 0}, D3DERR_INVALIDCALL},
        {"a filter past the box filter", {.filter = D3DX_FILTER_BOX + 1}, D3DERR_INVALIDCALL},
        {"a width of its own", {.width = 40}, D3DERR_NOTAVAILABLE},
        {"a height of its own", {.height = 24}, D3DERR_NOTAVAILABLE},
        {"three levels", {.mipLevels = 3}, D3DERR_NOTAVAILABLE},
        {"another format", {.format = D3DFMT_A4R4G4B4}, D3DERR_NOTAVAILABLE},
        {"image information", {.info = info}, D3DERR_NOTAVAILABLE},
        {"a palette", {.palette = palette}, D3DERR_NOTAVAILABLE},
    };
    for (const auto& row : requests) {
        EXPECT_EQ(Load("Grafik\\ok.png", &texture, row.request), row.expected) << row.what;
        EXPECT_EQ(texture, nullptr) << row.what;
    }
    platform::d3d9::SetMaxTextureSize(0, 0);
    EXPECT_EQ(Load("Grafik\\ok.png", &texture), D3DERR_NOTAVAILABLE) << "a device without textures";
    EXPECT_TRUE(platform::d3d9::CallTraceLines("CreateTexture").empty()) << "nothing was created";
    platform::d3d9::ResetMaxTextureSize();
    ASSERT_EQ(Load("Grafik\\ok.png", &texture, {.width = 0, .height = 0, .mipLevels = 0}), D3D_OK)
        << "0 is the default size and the full chain";
    EXPECT_EQ(texture->GetLevelCount(), 6u);
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

// A camera's photo is larger than the device's largest texture: it is made smaller to fit, each side
// on its own, with the filter asked for, after the colour key. The expected pixels follow each filter's
// definition on a 6 x 5 picture shrunk to 4 x 3 (pixel centres at (2i + 1) * 6 / 8 across and
// (2j + 1) * 5 / 6 down; areas of 1.5 x 5/3 source pixels; rounded to nearest, halves up).
TEST_F(TextureLoader, PictureLargerThanTheDeviceAllowsIsMadeSmallerWithTheFilterAskedFor) {
    Source source{6, 5, {}};
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 6; ++x) {
            source.pixels.push_back((250 - 13 * x - 31 * y) << 24 | (17 + 37 * x + 2 * y * y) << 16 |
                                    (200 - 45 * y + 7 * x) << 8 | (90 + 60 * ((x + 2 * y) % 3)));
        }
    }
    source.pixels[5] = 0xFF000000u; // top right: opaque black, keyed to transparent black
    Write(source, "PNG32:photo.png", "");
    auto sourceAt = [&](uint32_t x, uint32_t y) { return x == 5 && y == 0 ? 0u : source.pixels[y * 6 + x]; };
    std::vector<uint32_t> cut, nearest;
    for (uint32_t y : {0u, 1u, 2u}) {
        for (uint32_t x : {0u, 1u, 2u, 3u}) {
            cut.push_back(sourceAt(x, y));
        }
    }
    for (uint32_t y : {0u, 2u, 4u}) {
        for (uint32_t x : {0u, 2u, 3u, 5u}) {
            nearest.push_back(sourceAt(x, y));
        }
    }
    const std::vector<uint32_t> area = {0xE91EB886u, 0xD84FC2A6u, 0xC28DCD86u, 0x676E7952u,
                                        0xB826709Eu, 0xA6577A8Eu, 0x9195859Eu, 0x7FC68F8Eu,
                                        0x86382892u, 0x7569329Au, 0x5FA73D92u, 0x4ED8479Au};
    const std::vector<uint32_t> linear = {0xEC1BBB82u, 0xD952C5AFu, 0xC58AD082u, 0x555C6546u,
                                          0xB92270A5u, 0xA55A7A78u, 0x929185A5u, 0x7EC98F78u,
                                          0x8536259Bu, 0x726D2F9Bu, 0x5EA53A9Bu, 0x4BDC449Bu};
    const struct {
        const char* what;
        DWORD filter;
        const std::vector<uint32_t>& expected;
    } rows[] = {
        {"none: the top-left part", D3DX_FILTER_NONE, cut},
        {"point: the pixel under each centre", D3DX_FILTER_POINT, nearest},
        {"linear: the four around each centre", D3DX_FILTER_LINEAR, linear},
        {"triangle: the covered area", D3DX_FILTER_TRIANGLE, area},
        {"box: the covered area", D3DX_FILTER_BOX, area},
        {"default: the triangle filter", D3DX_DEFAULT, area},
        {"flags above the filter are ignored", D3DX_FILTER_POINT | 0x30000, nearest},
    };
    platform::d3d9::SetMaxTextureSize(4, 3);
    for (const auto& row : rows) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(Load("Grafik\\photo.png", &texture, {.filter = row.filter}), D3D_OK)
            << row.what << ": " << platform::LastTextureLoadError();
        EXPECT_EQ(texture->GetLevelCount(), 3u) << row.what;
        D3DSURFACE_DESC desc = {};
        std::vector<uint32_t> top = ReadLevel(texture, 0, &desc);
        EXPECT_EQ(desc.Width, 4u);
        EXPECT_EQ(desc.Height, 3u);
        for (size_t i = 0; i < row.expected.size() && i < top.size(); ++i) {
            EXPECT_EQ(top[i], row.expected[i]) << row.what << ", texel " << i % 4 << "," << i / 4 << std::hex
                                               << ": 0x" << top[i] << " instead of 0x" << row.expected[i];
        }
        texture->Release();
    }

    // Each side is held to its own limit; the other keeps the picture's length.
    for (auto [maxWidth, maxHeight, width, height] :
         {std::tuple{8u, 3u, 6u, 3u}, std::tuple{4u, 9u, 4u, 5u}}) {
        platform::d3d9::SetMaxTextureSize(maxWidth, maxHeight);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(Load("Grafik\\photo.png", &texture, {.filter = D3DX_FILTER_NONE}), D3D_OK);
        D3DSURFACE_DESC desc = {};
        std::vector<uint32_t> top = ReadLevel(texture, 0, &desc);
        EXPECT_EQ(desc.Width, width) << "limits " << maxWidth << " x " << maxHeight;
        EXPECT_EQ(desc.Height, height) << "limits " << maxWidth << " x " << maxHeight;
        EXPECT_EQ(top.back(), sourceAt(width - 1, height - 1)) << "the last pixel kept";
        texture->Release();
    }
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
