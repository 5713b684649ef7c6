// Reads a bitmap file into memory and decodes it, reporting failures in an "Error" box.
#include <cstdio>
#include <cstdlib>

#include "model/bitmap_decode.h"
#include "model/texture.h"
#include "platform/data_path.h"
#include "platform/message_box.h"

static RgbImage* Fail(const char* text) {
  ShowMessageBox(text, "Error", BoxIconNone, BoxOk);
  return nullptr;
}

static RgbImage* FailToOpen(const char* path) {
  char text[1200];
  std::snprintf(text, sizeof text, "Failed to open DIB file %s.\n", path ? path : "");
  return Fail(text);
}

// Far beyond the largest picture the decoder accepts.
static const long kMaxBitmapFileBytes = 512L * 1024 * 1024;

RgbImage* LoadBitmapImage(const char* path) {
  FILE* file = path ? OpenDataFile(path, "rb") : nullptr;
  if (!file) return FailToOpen(path);
  // A folder opens like a file here, and its "size" can be any offset up to the largest
  // a file may have: reading one byte tells it apart before anything is allocated.
  bool readable = std::fgetc(file) != EOF || !std::ferror(file);
  long length = -1;
  if (readable && std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length < 0 || length > kMaxBitmapFileBytes || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return FailToOpen(path);
  }
  // One byte more than the file so that an empty file still gets a block.
  unsigned char* bytes = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (!bytes) {
    std::fclose(file);
    return Fail("Out of memory.");
  }
  size_t got = std::fread(bytes, 1, static_cast<size_t>(length), file);
  std::fclose(file);
  if (got != static_cast<size_t>(length)) {
    std::free(bytes);
    return FailToOpen(path);
  }
  RgbImage* image = nullptr;
  BitmapResult result = DecodeBitmap(bytes, got, &image);
  std::free(bytes);
  if (result != BitmapOk) return Fail(BitmapResultText(result));
  return image;
}
