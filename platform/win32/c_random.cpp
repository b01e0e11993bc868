// rand and srand with the generator the game's board rules and the engine's effects are written for:
// state = state * 214013 + 2531011 (mod 2^32), result bits 16..30 (0..32767). They replace the C
// library's functions of the same names for the whole process, so that every caller gets this one.
#include <cstdint>
#include <cstdlib>

namespace {
uint32_t randomState = 1;
}

extern "C" void srand(unsigned int seed) noexcept {
    randomState = seed;
}

extern "C" int rand(void) noexcept {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7fff);
}
