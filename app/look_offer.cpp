// The looks the connection dialog offers, each with a small figure cut from the skins in
// data/looks.bmp, and the one chosen taken into Settings.image.
#include <cstdlib>
#include <cstring>

#include "app/shell.h"
#include "console/settings.h"
#include "core/looks.h"
#include "model/texture.h"
#include "platform/look_row.h"
#include "scene/world.h"

namespace {

const int kSkin = 128, kCell = 32;  // a look's skin in the picture, and a part's cell in the skin
const unsigned char kBackground[3] = {192, 192, 192};

struct Figure {
  unsigned char rgb[kLookPictureWidth * kLookPictureHeight * 3];
};

// The colour at (x, y) of look k's skin, y from the top; rows of the bitmap run bottom-up.
const unsigned char* SkinPixel(const RgbImage& image, int look, int x, int y) {
  const int column = (look % 4) * kSkin + x, rowFromTop = (look / 4) * kSkin + y;
  return image.pixels + (static_cast<std::size_t>(image.height - 1 - rowFromTop) * image.width + column) * 3;
}

void Fill(Figure& f, int x0, int y0, int x1, int y1, const unsigned char* colour) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) std::memcpy(f.rgb + (y * kLookPictureWidth + x) * 3, colour, 3);
}

// A standing figure in the look's colours: the face cell shrunk for the head, then shirt with
// arms, hands, trousers and shoes from the middle of their cells.
void Draw(const RgbImage& image, int look, Figure& f) {
  Fill(f, 0, 0, kLookPictureWidth, kLookPictureHeight, kBackground);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      std::memcpy(f.rgb + (y * kLookPictureWidth + x + 3) * 3, SkinPixel(image, look, x * kCell / 10, y * kCell / 10), 3);
  auto part = [&](int cell) { return SkinPixel(image, look, (cell % 4) * kCell + kCell / 2, (cell / 4) * kCell + kCell / 2); };
  const unsigned char *skin = part(1), *shirt = part(3), *trousers = part(4), *shoes = part(5);
  Fill(f, 6, 10, 10, 11, skin);         // neck
  Fill(f, 3, 11, 13, 20, shirt);        // body
  Fill(f, 1, 11, 3, 18, shirt);         // arms
  Fill(f, 13, 11, 15, 18, shirt);
  Fill(f, 1, 18, 3, 20, skin);          // hands
  Fill(f, 13, 18, 15, 20, skin);
  Fill(f, 4, 20, 12, 22, trousers);     // hips, then legs
  Fill(f, 4, 22, 7, 30, trousers);
  Fill(f, 9, 22, 12, 30, trousers);
  Fill(f, 3, 30, 7, 32, shoes);
  Fill(f, 9, 30, 13, 32, shoes);
}

}  // namespace

void OfferLooksInDialog() {
  Figure figures[kLookCount + 1];
  LookChoice choices[kLookCount + 1];
  RgbImage* image = ReadBitmapFile("data/looks.bmp");
  const bool pictured = image && image->width >= 4 * kSkin && image->height >= 3 * kSkin;
  choices[0] = {"default", nullptr};  // the look the nickname picks
  for (int look = 1; look <= kLookCount; ++look) {
    if (pictured) Draw(*image, look, figures[look]);
    choices[look] = {LookName(look), pictured ? figures[look].rgb : nullptr};
  }
  if (image) {
    std::free(image->pixels);
    std::free(image);
  }
  OfferLooks(choices, kLookCount + 1, Settings.image);
}

void TakeChosenLook() {
  std::strncpy(Settings.image, ChosenLook(), kSettingLength - 1);
  Settings.image[kSettingLength - 1] = '\0';
}
