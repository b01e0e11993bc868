// The texture loader's costs: decoding each file format at the sizes the game loads (an 800 x 600
// background JPEG, 64 x 64 stone DDS files, 256 x 256 terrain BMP tiles), building the mip chain,
// fitting a camera's 6000 x 4000 photo into the device's largest texture, and the whole
// D3DXCreateTextureFromFileExA on the software device. The files are written once by ImageMagick's convert
// into a temporary folder.
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9.h"
#include "d3dx9/mip_chain.h"
#include "d3dx9/picture.h"
#include "d3dx9/picture_resize.h"
#include "win32/window_surface.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Writes a smooth picture with some detail as `target` (with convert's format prefix) and returns
// the file's bytes; empty when convert is missing.
std::vector<uint8_t> WritePicture(int width, int height, const std::string& target,
                                  const std::string& options, std::string* pathOut = nullptr) {
    // One folder per run, removed at exit.
    struct Folder {
        Folder()
            : path(std::filesystem::temp_directory_path() /
                   ("texture_loader_bench_" + std::to_string(getpid()))) {
            std::filesystem::create_directories(path);
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::filesystem::path path;
    };
    static const Folder scratch;
    const std::filesystem::path& folder = scratch.path;
    std::string file = target.substr(target.find(':') + 1);
    std::filesystem::path path = folder / file;
    std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                          " plasma:fractal -seed 7 " + options + " '" +
                          target.substr(0, target.find(':') + 1) + path.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    if (pathOut != nullptr) {
        *pathOut = path.string();
    }
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Decode(benchmark::State& state, int width, int height, const std::string& target,
            const std::string& options) {
    std::vector<uint8_t> bytes = WritePicture(width, height, target, options);
    if (bytes.empty()) {
        state.SkipWithError("convert failed");
        return;
    }
    platform::d3dx::DecodeLimits limits;
    for (auto _ : state) {
        platform::d3dx::Picture picture;
        auto result = platform::d3dx::DecodePicture(bytes.data(), bytes.size(), limits, &picture);
        if (!result.Ok()) {
            state.SkipWithError(result.reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(picture.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_DecodeBackgroundJpeg(benchmark::State& state) {
    Decode(state, 800, 600, "JPG:bk.jpg", "-quality 90");
}
void BM_DecodeStoneDds(benchmark::State& state) {
    Decode(state, 64, 64, "DDS:stone.dds", "-define dds:compression=none -define dds:mipmaps=0");
}
void BM_DecodeStoneDxt5(benchmark::State& state) {
    Decode(state, 64, 64, "DDS:stone5.dds", "-define dds:compression=dxt5 -define dds:mipmaps=0");
}
void BM_DecodeTerrainBmp(benchmark::State& state) {
    Decode(state, 256, 256, "BMP3:tile.bmp", "-alpha off");
}
void BM_DecodePng(benchmark::State& state) {
    Decode(state, 512, 512, "PNG32:p.png", "");
}

platform::d3dx::Picture Noise(uint32_t width, uint32_t height) {
    platform::d3dx::Picture picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t i = 0; i < width * height; ++i) {
        picture.pixels.push_back(0xFF000000u | i * 2654435761u >> 8);
    }
    return picture;
}

void BM_BuildMipChain(benchmark::State& state) {
    uint32_t side = static_cast<uint32_t>(state.range(0));
    // Odd height: the weighted path on the first level, then even ones.
    const platform::d3dx::Picture picture = Noise(side, side - 1);
    for (auto _ : state) {
        auto chain = platform::d3dx::BuildMipChain(picture);
        benchmark::DoNotOptimize(chain.back().pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * picture.pixels.size());
}

void BM_FitPhotoIntoTheLargestTexture(benchmark::State& state) {
    const platform::d3dx::Picture photo = Noise(6000, 4000);
    const auto filter = static_cast<platform::d3dx::ResizeFilter>(state.range(0));
    for (auto _ : state) {
        auto fitted = platform::d3dx::Shrink(photo, 4096, 4000, filter);
        benchmark::DoNotOptimize(fitted.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * photo.pixels.size());
}

void BM_CreateBackgroundTexture(benchmark::State& state) {
    std::string path;
    if (WritePicture(800, 600, "JPG:background.jpg", "-quality 90", &path).empty()) {
        state.SkipWithError("convert failed");
        return;
    }
    HWND window = platform::CreateOffscreenWindow(64, 64);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    IDirect3DDevice9* device = nullptr;
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                      &device);
    for (auto _ : state) {
        IDirect3DTexture9* texture = nullptr;
        HRESULT hr =
            D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                         D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE,
                                         D3DX_FILTER_TRIANGLE, 0xFF000000, nullptr, nullptr, &texture);
        if (FAILED(hr)) {
            state.SkipWithError("load failed");
            break;
        }
        texture->Release();
    }
    device->Release();
    d3d->Release();
    platform::DestroyOffscreenWindow(window);
}

} // namespace

BENCHMARK(BM_DecodeBackgroundJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeStoneDds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeStoneDxt5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeTerrainBmp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMipChain)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitPhotoIntoTheLargestTexture)
    ->Arg(static_cast<int>(platform::d3dx::ResizeFilter::Area))
    ->Arg(static_cast<int>(platform::d3dx::ResizeFilter::Linear))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateBackgroundTexture)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
