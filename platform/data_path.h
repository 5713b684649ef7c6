// Maps the asset names used by the program ("Data/1.bmp", "data\\skin.bmp") to files on disk.
#pragma once
#include <cstddef>
#include <cstdio>

// Writes the on-disk path for name into out (bounded by outSize): a leading
// "Data/", "data/" or "data\\" in any letter case becomes the data folder, and
// backslashes become slashes. Returns false when the result did not fit.
bool ResolveDataPath(const char* name, char* out, std::size_t outSize);
// fopen through ResolveDataPath.
FILE* OpenDataFile(const char* name, const char* mode);
