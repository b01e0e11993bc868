// The MD2 file reader. The sections are read back to back in the order skins, texture coordinates,
// triangles, frames; a header whose offsets say otherwise is refused rather than misread.
#include "models/md2_file.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr int HEADER_BYTES = 68;
constexpr int SKIN_NAME_BYTES = 64;
constexpr int TEXCOORD_BYTES = 4;
constexpr int TRIANGLE_BYTES = 12;
constexpr int FRAME_HEADER_BYTES = 40;
constexpr int FRAME_VERTEX_BYTES = 4;
constexpr int32_t MD2_IDENT = 0x32504449; // "IDP2" read as a little-endian integer
constexpr int32_t MD2_VERSION = 8;

struct Md2Header {
    int32_t ident;
    int32_t version;
    int32_t skinWidth;
    int32_t skinHeight;
    int32_t frameSize;
    int32_t numSkins;
    int32_t numXyz;
    int32_t numSt;
    int32_t numTris;
    int32_t numGlCommands;
    int32_t numFrames;
    int32_t ofsSkins;
    int32_t ofsSt;
    int32_t ofsTris;
    int32_t ofsFrames;
    int32_t ofsGlCommands;
    int32_t ofsEnd;
};
static_assert(sizeof(Md2Header) == HEADER_BYTES, "seventeen 32-bit integers");

struct StoredTriangle {
    int vertex[3];
    float s[3];
    float t[3];
};

int32_t ReadInt32(const uint8_t* bytes) {
    return int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                   uint32_t(bytes[3]) << 24);
}

int16_t ReadInt16(const uint8_t* bytes) {
    return int16_t(uint16_t(bytes[0]) | uint16_t(bytes[1]) << 8);
}

float ReadFloat(const uint8_t* bytes) {
    uint32_t bits = uint32_t(ReadInt32(bytes));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool ReadExactly(FILE* file, void* target, size_t bytes) {
    return bytes == 0 || std::fread(target, 1, bytes, file) == bytes;
}

bool Fail(std::string* reason, const char* text) {
    if (reason != nullptr) {
        *reason = text;
    }
    return false;
}

// The bytes from the current position to the end of the file, or -1 when that cannot be told.
long long RemainingBytes(FILE* file) {
    long start = std::ftell(file);
    if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return -1;
    }
    long end = std::ftell(file);
    if (end < 0 || std::fseek(file, start, SEEK_SET) != 0) {
        return -1;
    }
    return static_cast<long long>(end) - start;
}

bool CheckHeader(const Md2Header& h, long long fileBytes, std::string* reason) {
    if (h.ident != MD2_IDENT) {
        return Fail(reason, "not an MD2 file (magic)");
    }
    if (h.version != MD2_VERSION) {
        return Fail(reason, "unsupported MD2 version");
    }
    if (h.numSkins < 0 || h.numSkins > MD2_MAX_SKINS) {
        return Fail(reason, "skin count out of range");
    }
    if (h.numSt < 0 || h.numSt > MD2_MAX_TEXCOORDS) {
        return Fail(reason, "texture coordinate count out of range");
    }
    if (h.numXyz < 1 || h.numXyz > MD2_MAX_FRAME_VERTICES) {
        return Fail(reason, "vertex count out of range");
    }
    if (h.numTris < 1) {
        return Fail(reason, "no triangles");
    }
    if (h.numTris > MD2_MAX_TRIANGLES) {
        return Fail(reason, "triangle count out of range");
    }
    if (h.numFrames < 1) {
        return Fail(reason, "no frames");
    }
    if (h.numFrames > MD2_MAX_FRAMES) {
        return Fail(reason, "frame count out of range");
    }
    const long long frameBytes = FRAME_HEADER_BYTES + FRAME_VERTEX_BYTES * static_cast<long long>(h.numXyz);
    if (h.frameSize != frameBytes) {
        return Fail(reason, "frame size does not match the vertex count");
    }
    const long long ofsSkins = HEADER_BYTES;
    const long long ofsSt = ofsSkins + SKIN_NAME_BYTES * static_cast<long long>(h.numSkins);
    const long long ofsTris = ofsSt + TEXCOORD_BYTES * static_cast<long long>(h.numSt);
    const long long ofsFrames = ofsTris + TRIANGLE_BYTES * static_cast<long long>(h.numTris);
    if (h.ofsSkins != ofsSkins || h.ofsSt != ofsSt || h.ofsTris != ofsTris || h.ofsFrames != ofsFrames) {
        return Fail(reason, "sections are not laid out back to back after the header");
    }
    const long long end = ofsFrames + frameBytes * h.numFrames;
    if (fileBytes >= 0 && fileBytes < end) {
        return Fail(reason, "file is shorter than its sections");
    }
    const long long bufferBytes =
        static_cast<long long>(h.numFrames) * h.numTris * 3 * static_cast<long long>(sizeof(MD2Vertex));
    if (bufferBytes > MD2_MAX_EXPANDED_BYTES) {
        return Fail(reason, "model too large when expanded");
    }
    return true;
}

bool ReadMesh(FILE* file, float scale, Md2Mesh* mesh, std::string* reason) {
    const long long remaining = RemainingBytes(file);
    uint8_t headerBytes[HEADER_BYTES];
    if (!ReadExactly(file, headerBytes, HEADER_BYTES)) {
        return Fail(reason, "truncated header");
    }
    int32_t fields[HEADER_BYTES / 4];
    for (int i = 0; i < HEADER_BYTES / 4; ++i) {
        fields[i] = ReadInt32(headerBytes + 4 * i);
    }
    Md2Header header;
    std::memcpy(&header, fields, sizeof header);
    if (!CheckHeader(header, remaining, reason)) {
        return false;
    }

    std::vector<uint8_t> section(size_t(header.numSkins) * SKIN_NAME_BYTES);
    if (!ReadExactly(file, section.data(), section.size())) {
        return Fail(reason, "truncated skin names");
    }
    std::vector<uint8_t> texcoords(size_t(header.numSt) * TEXCOORD_BYTES);
    if (!ReadExactly(file, texcoords.data(), texcoords.size())) {
        return Fail(reason, "truncated texture coordinates");
    }

    // Corners are stored reversed; together with the y/z swap below this keeps the file's facing.
    std::vector<StoredTriangle> triangles(size_t(header.numTris));
    int maxS = 0;
    int maxT = 0;
    for (StoredTriangle& triangle : triangles) {
        uint8_t record[TRIANGLE_BYTES];
        if (!ReadExactly(file, record, TRIANGLE_BYTES)) {
            return Fail(reason, "truncated triangles");
        }
        for (int k = 0; k < 3; ++k) {
            const int fileCorner = 2 - k;
            const int vertex = ReadInt16(record + 2 * fileCorner);
            const int st = ReadInt16(record + 6 + 2 * fileCorner);
            if (vertex < 0 || vertex >= header.numXyz) {
                return Fail(reason, "vertex index out of range");
            }
            if (st < 0 || st >= header.numSt) {
                return Fail(reason, "texture coordinate index out of range");
            }
            const int s = ReadInt16(texcoords.data() + TEXCOORD_BYTES * st);
            const int t = ReadInt16(texcoords.data() + TEXCOORD_BYTES * st + 2);
            triangle.vertex[k] = vertex;
            triangle.s[k] = float(s);
            triangle.t[k] = float(t);
            maxS = s > maxS ? s : maxS;
            maxT = t > maxT ? t : maxT;
        }
    }
    if (maxS <= 0 || maxT <= 0) {
        return Fail(reason, "texture coordinates have no positive extent");
    }
    // Normalised by the largest coordinates the triangles use, not by the skin size in the header.
    for (StoredTriangle& triangle : triangles) {
        for (int k = 0; k < 3; ++k) {
            triangle.s[k] /= float(maxS);
            triangle.t[k] /= float(maxT);
        }
    }

    const size_t frameBytes = size_t(header.frameSize);
    std::vector<uint8_t> frame(frameBytes);
    std::vector<D3DXVECTOR3> positions(size_t(header.numXyz));
    mesh->vertices.resize(size_t(header.numFrames) * header.numTris * 3);
    MD2Vertex* out = mesh->vertices.data();
    for (int f = 0; f < header.numFrames; ++f) {
        if (!ReadExactly(file, frame.data(), frameBytes)) {
            mesh->vertices.clear();
            return Fail(reason, "truncated frames");
        }
        const float frameScale[3] = {ReadFloat(&frame[0]), ReadFloat(&frame[4]), ReadFloat(&frame[8])};
        const float translate[3] = {ReadFloat(&frame[12]), ReadFloat(&frame[16]), ReadFloat(&frame[20])};
        for (int v = 0; v < header.numXyz; ++v) {
            const uint8_t* packed = &frame[FRAME_HEADER_BYTES + FRAME_VERTEX_BYTES * size_t(v)];
            positions[size_t(v)] = D3DXVECTOR3(packed[0] * frameScale[0] + translate[0],
                                               packed[1] * frameScale[1] + translate[1],
                                               packed[2] * frameScale[2] + translate[2]);
        }
        for (const StoredTriangle& triangle : triangles) {
            for (int k = 0; k < 3; ++k) {
                const D3DXVECTOR3& p = positions[size_t(triangle.vertex[k])];
                out->position = D3DXVECTOR3(scale * p.x, scale * p.z, scale * p.y);
                out->tu = triangle.s[k];
                out->tv = triangle.t[k];
                ++out;
            }
        }
    }
    mesh->vertexCount = header.numXyz;
    mesh->triangleCount = header.numTris;
    mesh->frameCount = header.numFrames;
    return true;
}

} // namespace

bool ReadMd2Mesh(FILE* file, float scale, Md2Mesh* mesh, std::string* reason) {
    if (file == nullptr || mesh == nullptr) {
        return Fail(reason, "no file");
    }
    *mesh = Md2Mesh();
    bool ok = false;
    try {
        ok = ReadMesh(file, scale, mesh, reason);
    } catch (const std::bad_alloc&) {
        ok = Fail(reason, "out of memory");
    }
    if (!ok) {
        *mesh = Md2Mesh();
    }
    return ok;
}
