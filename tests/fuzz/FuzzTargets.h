#pragma once
// The reader fuzz targets, shared by the libFuzzer executables and by the test
// that replays the committed corpus. Each target takes arbitrary bytes, drives one
// reader with them and aborts (via assertions that survive Release builds) when an
// invariant breaks; readers' own exceptions are the expected way to refuse input.

#include <cstddef>
#include <cstdint>

// The datatype parser, and the specialised chunk decoder against decodeValue.
void fuzzDatatype(const uint8_t* data, size_t size);
// readBinarySamples: the first byte gives the datatype's length, then the
// datatype, then the file's bytes.
void fuzzRawReader(const uint8_t* data, size_t size);
// Recording::loadWav on the bytes as a file.
void fuzzWav(const uint8_t* data, size_t size);
// Recording::loadSigmf: the first two bytes (little-endian) give the metadata
// length, then the metadata bytes, then the data file's bytes.
void fuzzSigmf(const uint8_t* data, size_t size);
// Recording::loadSigmfArchive on the bytes as a ".sigmf" file (a tar archive).
void fuzzSigmfArchive(const uint8_t* data, size_t size);
