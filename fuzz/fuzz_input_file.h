// Readers that take a file name get the fuzzer's bytes through a temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Writes the bytes to a file in a private temporary folder and returns its path; the same path is
// reused for every input of one process.
std::string WriteInputFile(const uint8_t* data, size_t size, const char* name = "input.bin");

} // namespace fuzzing
