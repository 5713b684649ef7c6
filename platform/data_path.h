// Where the program's files are found: the data folder ("Data/1.bmp", "data\\skin.bmp") and the installed copy.
#pragma once
#include <cstddef>
#include <cstdio>

// Writes the on-disk path for name into out (bounded by outSize): a leading
// "Data/", "data/" or "data\\" in any letter case becomes the data folder in use, and
// backslashes become slashes. Returns false when the result did not fit.
bool ResolveDataPath(const char* name, char* out, std::size_t outSize);
// fopen through ResolveDataPath.
FILE* OpenDataFile(const char* name, const char* mode);

// Chooses the data folder once at start: the working directory's data/ when it holds the
// room (world.txt), else the installed folder when that does, else data/ as before, whose
// missing files the loaders then report.
void ChooseDataFolder();
// The same with the installed folder given (null for none).
void ChooseDataFolderFrom(const char* installedFolder);
// The data folder in use, ending in '/': "data/" until ChooseDataFolder picks another.
const char* DataFolder();

// The installed copy's shared folder, <prefix>/share/qivra, for a program at
// <prefix>/bin/<name>, into out. False when exePath is not in a bin folder (a build
// tree), or the result did not fit.
bool InstalledFolderFor(const char* exePath, char* out, std::size_t size);
// The path of name in the running program's installed folder; false when it has none.
bool InstalledPath(const char* name, char* out, std::size_t size);
