// D3DXCreateTextureFromFileExA on the software device, called as the texture cache calls it: the
// texture's size, format, levels and pixels, the colour key, the calls made on the device, and every
// failure leaving no texture behind.
#include "picture_files.h"

#include "d3d9/d3d9_testing.h"
#include "d3dx9/d3dx9.h"
#include "win32/window_surface.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

#include <filesystem>
#include <fstream>

namespace {

using picture_files::Source;

class TextureLoader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(picture_files::ConvertAvailable()) << "ImageMagick's convert is needed";
        window = platform::CreateOffscreenWindow(64, 48);
        direct3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3d, nullptr);
        D3DPRESENT_PARAMETERS parameters = {};
        parameters.Windowed = TRUE;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D16;
        parameters.hDeviceWindow = window;
        ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
                  D3D_OK);
        std::filesystem::create_directories(folder.Path() / "Grafik");
    }
    void TearDown() override {
        platform::d3d9::ClearFaults();
        platform::d3d9::ResetMaxTextureSize();
        platform::d3d9::EnableCallTrace(false);
        if (device != nullptr) {
            device->Release();
        }
        if (direct3d != nullptr) {
            direct3d->Release();
        }
        platform::DestroyOffscreenWindow(window);
    }

    // Loads as the texture cache does; `path` is relative to the temporary folder, with backslashes.
    HRESULT Load(const std::string& path, IDirect3DTexture9** texture, DWORD filter = D3DX_FILTER_TRIANGLE) {
        testing_support::WorkingDirectory inFolder(folder.Path());
        return D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                            D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, filter, D3DX_FILTER_TRIANGLE,
                                            0xFF000000, nullptr, nullptr, texture);
    }

    std::vector<uint32_t> ReadLevel(IDirect3DTexture9* texture, UINT level, UINT* width, UINT* height) {
        D3DSURFACE_DESC desc = {};
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        *width = desc.Width;
        *height = desc.Height;
        D3DLOCKED_RECT locked = {};
        std::vector<uint32_t> pixels;
        if (texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) {
            ADD_FAILURE() << "level " << level << " cannot be locked";
            return pixels;
        }
        for (UINT y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                          y * locked.Pitch);
            pixels.insert(pixels.end(), row, row + desc.Width);
        }
        texture->UnlockRect(level);
        return pixels;
    }

    testing_support::TemporaryFolder folder;
    HWND window = nullptr;
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// A gradient with a band of opaque black on the left, for the colour key.
Source WithBlackBand(uint32_t width, uint32_t height) {
    Source source = picture_files::Gradient(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            source.pixels[y * width + x] = 0xFF000000u;
        }
    }
    return source;
}

TEST_F(TextureLoader, CreatesAManagedA8R8G8B8TextureWithTheFullChain) {
    Source source = WithBlackBand(40, 24);
    ASSERT_FALSE(picture_files::Convert(source, folder.Path() / "Grafik", "DDS:stone1.dds",
                                        "-define dds:compression=none -define dds:mipmaps=0")
                     .empty());
    platform::d3d9::EnableCallTrace(true);
    platform::d3d9::ClearCallTrace();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Load("Grafik\\stone1.dds", &texture), D3D_OK) << platform::LastTextureLoadError();
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(platform::LastTextureLoadError().empty());

    // CreateTexture(width, height, levels, usage 0, A8R8G8B8, managed, ...), then each level filled.
    auto creations = platform::d3d9::CallTraceLines("CreateTexture");
    ASSERT_EQ(creations.size(), 1u);
    EXPECT_EQ(creations[0].rfind("CreateTexture(40, 24, 6, 0, 21, 1", 0), 0u) << creations[0];
    EXPECT_EQ(platform::d3d9::CallTraceLines("LockRect").size(), 6u);
    EXPECT_EQ(platform::d3d9::CallTraceLines("UnlockRect").size(), 6u);

    ASSERT_EQ(texture->GetLevelCount(), 6u);
    D3DSURFACE_DESC desc = {};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);

    UINT width = 0, height = 0;
    std::vector<uint32_t> top = ReadLevel(texture, 0, &width, &height);
    ASSERT_EQ(width, 40u);
    ASSERT_EQ(height, 24u);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t expected =
                source.pixels[y * width + x] == 0xFF000000u ? 0u : source.pixels[y * width + x];
            ASSERT_EQ(top[y * width + x], expected) << "texel " << x << "," << y;
        }
    }
    // The smallest levels average everything, the transparent band included.
    std::vector<uint32_t> last = ReadLevel(texture, 5, &width, &height);
    EXPECT_EQ(width, 1u);
    EXPECT_EQ(height, 1u);
    double alphaSum = 0;
    for (uint32_t p : top) {
        alphaSum += p >> 24;
    }
    EXPECT_NEAR(static_cast<double>(last[0] >> 24), alphaSum / top.size(), 3.0);
    texture->Release();
}

TEST_F(TextureLoader, EveryFileFormatLoadsWhateverItsName) {
    Source source = picture_files::Gradient(33, 17);
    struct Row {
        const char* target;
        const char* options;
        const char* loadAs;
    } rows[] = {
        {"BMP3:tile.bmp", "-alpha off", "Grafik\\tile.bmp"},
        {"JPG:bk.jpg", "-alpha off -quality 95", "Grafik\\BK.JPG"},
        {"PNG32:player.png", "", "Grafik\\player.png"},
        {"PNG32:disguised.bmp", "", "Grafik\\disguised.bmp"},
        {"DDS:corner.dds", "-define dds:compression=dxt5", "grafik\\corner.dds"},
    };
    for (const Row& row : rows) {
        ASSERT_FALSE(
            picture_files::Convert(source, folder.Path() / "Grafik", row.target, row.options).empty());
        for (DWORD filter : {DWORD{D3DX_FILTER_TRIANGLE}, DWORD{D3DX_FILTER_NONE}}) {
            IDirect3DTexture9* texture = nullptr;
            ASSERT_EQ(Load(row.loadAs, &texture, filter), D3D_OK)
                << row.loadAs << ": " << platform::LastTextureLoadError();
            D3DSURFACE_DESC desc = {};
            texture->GetLevelDesc(0, &desc);
            EXPECT_EQ(desc.Width, 33u) << row.loadAs;
            EXPECT_EQ(desc.Height, 17u) << row.loadAs;
            EXPECT_EQ(texture->GetLevelCount(), 6u) << row.loadAs;
            texture->Release();
        }
    }
}

TEST_F(TextureLoader, MissingDamagedAndOversizedFilesCreateNothing) {
    Source source = picture_files::Gradient(40, 24);
    auto path = picture_files::Convert(source, folder.Path() / "Grafik", "PNG32:ok.png", "");
    ASSERT_FALSE(path.empty());
    std::vector<uint8_t> bytes = picture_files::ReadBytes(path);
    testing_support::WriteFile(folder.Path() / "Grafik" / "cut.png",
                               std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    testing_support::WriteFile(folder.Path() / "Grafik" / "text.dds", {'h', 'e', 'l', 'l', 'o'});
    std::ofstream(folder.Path() / "Grafik" / "empty.bmp").close();

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
}

TEST_F(TextureLoader, DeviceFailuresAreReportedAndReleaseTheTexture) {
    Source source = picture_files::Gradient(16, 16);
    ASSERT_FALSE(
        picture_files::Convert(source, folder.Path() / "Grafik", "BMP3:t.bmp", "-alpha off").empty());
    IDirect3DTexture9* texture = nullptr;

    platform::d3d9::InjectFault(platform::d3d9::Fault::CreateTexture);
    EXPECT_TRUE(FAILED(Load("Grafik\\t.bmp", &texture)));
    EXPECT_EQ(texture, nullptr);
    platform::d3d9::ClearFaults();

    // The third level's lock fails: the half-filled texture is released, not returned.
    platform::d3d9::InjectFault(platform::d3d9::Fault::TextureLock, 2, 1);
    EXPECT_TRUE(FAILED(Load("Grafik\\t.bmp", &texture)));
    EXPECT_EQ(texture, nullptr);
    platform::d3d9::ClearFaults();

    EXPECT_EQ(D3DXCreateTextureFromFileExA(nullptr, "Grafik\\t.bmp", D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                           0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                           D3DX_FILTER_TRIANGLE, 0xFF000000, nullptr, nullptr, &texture),
              D3DERR_INVALIDCALL)
        << "no device";
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(Load("Grafik\\t.bmp", &texture), D3D_OK) << "the device works again";
    texture->Release();
}

} // namespace
