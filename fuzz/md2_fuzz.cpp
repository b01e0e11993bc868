// Fuzzes the MD2 model reader: any file is either refused with a reason and nothing kept, or read into
// whole frames of whole triangles.
#include "fuzz_input_file.h"
#include "models/md2_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzzing::WriteInputFile(data, size, "model.md2");
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::abort();
    }
    Md2Mesh mesh;
    std::string reason;
    bool ok = ReadMd2Mesh(file, 1.0f, &mesh, &reason);
    std::fclose(file);
    if (ok) {
        if (size_t(mesh.frameCount) * mesh.triangleCount * 3 != mesh.vertices.size() || mesh.frameCount < 1) {
            std::abort();
        }
    } else if (!mesh.vertices.empty() || reason.empty()) {
        std::abort();
    }
    return 0;
}
