// Files that only ever grow, such as chat logs: private folders, append-only descriptors, whole records.
#pragma once
#include <cstddef>

// Makes path and each missing parent with mode 0700 (as mkdir -p does); true when path is a
// folder afterwards. On failure why holds the system's reason (bounded by whySize).
bool MakePrivateFolders(const char* path, char* why, std::size_t whySize);
// Opens path for appending (made with mode 0600 when missing, never truncated, closed on exec):
// a descriptor, or -1 with the reason in why.
int OpenAppendFile(const char* path, char* why, std::size_t whySize);
// Writes the record with a single write(), so that two writers never interleave within it and
// the file is never rewritten. False (and why) when the system took less than all of it: the
// part written before a full disk or the file size limit stopped it is cut off again, so the
// file still ends with the last whole record.
bool AppendRecord(int file, const char* data, std::size_t length, char* why, std::size_t whySize);
void CloseAppendFile(int file);
