// Replacing a whole file at once: a failed write (a full disk, no permission) leaves the old one.
#pragma once
#include <cstddef>

enum FileReplaceResult {
  FileReplaced = 0,
  FileNotOpened,   // the temporary file beside it could not be made (no folder, no permission)
  FileNotWritten,  // writing or syncing it failed (a full disk, a size limit): the old file stays
  FileNotRenamed,  // the rename over the old file failed: the old file stays
};

// Writes size bytes to a temporary file in path's folder, syncs it to the disk and renames it
// over path, so that path holds either its old contents or all of the new ones, never a part.
FileReplaceResult ReplaceFileContents(const char* path, const void* data, std::size_t size);
