// CTexture and LoadBitmapImage on real files: the boxes they show and the textures they make.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "model/texture.h"
#include "tests/scene/test_support.h"

namespace {

class TextureTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view.ok());
    ASSERT_FALSE(folder.path().empty());
  }
  HeadlessView view{64, 64};
  TempFolder folder;
};

std::vector<unsigned char> FourColours() {  // 2 by 2, top row red green, bottom row blue white
  return Bmp24(2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
}

TEST_F(TextureTest, LoadsAPictureWithItsOwnSizeAndExactTexels) {
  folder.Write("data/four.bmp", FourColours());
  folder.Write("data/odd.bmp", Bmp24(7, 5, std::vector<unsigned char>(7 * 5 * 3, 90)));
  WorkingFolder cwd(folder.path());
  BoxRecorder boxes;
  CTexture* four = new CTexture;
  CTexture odd;
  ASSERT_TRUE(four->LoadFromFile("Data/four.bmp"));  // "Data/" reaches data/
  ASSERT_TRUE(odd.LoadFromFile("data\\odd.bmp"));   // and so does "data\"
  EXPECT_EQ(boxes.Stop().size(), 0u);
  EXPECT_EQ(four->width, 2);
  EXPECT_EQ(four->height, 2);
  EXPECT_EQ(odd.width, 7);   // not the power of two the mipmap builder scales to
  EXPECT_EQ(odd.height, 5);

  // Rows of 6 bytes are packed: texel row 1 must start at byte 6, not 8.
  glBindTexture(GL_TEXTURE_2D, four->textureName);
  unsigned char texels[12] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  const unsigned char bottomFirst[12] = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
  EXPECT_EQ(std::vector<unsigned char>(texels, texels + 12), std::vector<unsigned char>(bottomFirst, bottomFirst + 12));
  GLint minFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  EXPECT_EQ(minFilter, GL_LINEAR);

  GLuint name = four->textureName;
  delete four;
  EXPECT_FALSE(glIsTexture(name)) << "the destructor deletes its texture";
}

TEST_F(TextureTest, MissingFileShowsTwoBoxesTheSecondWithThePathAsPassed) {
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  CTexture texture;
  EXPECT_FALSE(texture.LoadFromFile("data\\Skin.BMP"));
  std::vector<BoxShown> boxes = recorder.Stop();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "CTexture::LoadFromFile");
  EXPECT_EQ(boxes[0].text, "Couldn't open file");
  EXPECT_EQ(boxes[0].icon, "none");
  EXPECT_EQ(boxes[1].caption, "*");
  EXPECT_EQ(boxes[1].text, "data\\Skin.BMP");
  EXPECT_EQ(texture.textureName, 0xFFFFFFFFu);
}

TEST_F(TextureTest, NullNameUnreadablePictureAndEmptyTextureEachReport) {
  folder.Write("data/bad.bmp", std::string("BM this is not a bitmap header at all, only text"));
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  CTexture texture;
  EXPECT_FALSE(texture.LoadFromFile(nullptr));
  EXPECT_FALSE(texture.LoadFromFile("data/bad.bmp"));
  EXPECT_FALSE(texture.Activate());
  EXPECT_FALSE(texture.Activate());
  EXPECT_FALSE(texture.SetFilters(GL_NEAREST, GL_NEAREST));
  std::vector<BoxShown> boxes = recorder.Stop();
  ASSERT_EQ(boxes.size(), 6u);
  EXPECT_EQ(boxes[0].text, "No filename specified");
  EXPECT_EQ(boxes[1].caption, "Error");
  EXPECT_EQ(boxes[1].text, "Unknown DIB file format.");
  EXPECT_EQ(boxes[2].caption, "CTexture::LoadFromFile");
  EXPECT_EQ(boxes[2].text, "Couldn't load file");
  for (int i : {3, 4}) {
    EXPECT_EQ(boxes[i].caption, "CTexture::Activate");
    EXPECT_EQ(boxes[i].text, "Can't activate invalid texture");
  }
  EXPECT_EQ(boxes[5].caption, "CTexture::SetFilters");
  EXPECT_EQ(boxes[5].text, "Can't set invalid texture's filters");
}

// A material with an empty texture name asks for "data\\", which names the folder itself.
TEST_F(TextureTest, AFolderIsRefusedAsAnUnopenableFile) {
  folder.Write("data/one.bmp", FourColours());
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  EXPECT_EQ(nullptr, LoadBitmapImage("data\\"));
  std::vector<BoxShown> boxes = recorder.Stop();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].text, "Failed to open DIB file data\\.\n");
}

TEST_F(TextureTest, BitmapReaderBoxesCarryTheDocumentedTexts) {
  std::vector<unsigned char> huge = Bmp24(1, 1, {1, 2, 3});
  huge[18] = 0x30;  // width 0x7530 = 30000
  huge[19] = 0x75;
  huge[22] = 0x30;
  huge[23] = 0x75;
  huge[30] = 1;  // RLE8 at 24 bits is refused before the size is looked at; use 8 bits
  huge[28] = 8;
  std::vector<unsigned char> rows = Bmp24(4, 4, std::vector<unsigned char>(48, 7));
  rows.resize(rows.size() - 5);
  folder.Write("data/huge.bmp", huge);
  folder.Write("data/short.bmp", rows);
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  EXPECT_EQ(LoadBitmapImage("data/none.bmp"), nullptr);
  EXPECT_EQ(LoadBitmapImage("data/huge.bmp"), nullptr);
  EXPECT_EQ(LoadBitmapImage("data/short.bmp"), nullptr);
  std::vector<BoxShown> boxes = recorder.Stop();
  ASSERT_EQ(boxes.size(), 3u);
  for (const BoxShown& box : boxes) EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(boxes[0].text, "Failed to open DIB file data/none.bmp.\n");
  EXPECT_EQ(boxes[1].text, "Out of memory.");
  EXPECT_EQ(boxes[2].text, "Image file conversion error.");
}

TEST_F(TextureTest, ReaderReturnsPackedBottomUpRedGreenBlue) {
  folder.Write("data/four.bmp", FourColours());
  WorkingFolder cwd(folder.path());
  RgbImage* image = LoadBitmapImage("data/four.bmp");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 2);
  EXPECT_EQ(image->height, 2);
  const unsigned char bottomFirst[12] = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
  EXPECT_EQ(std::vector<unsigned char>(image->pixels, image->pixels + 12),
            std::vector<unsigned char>(bottomFirst, bottomFirst + 12));
  std::free(image->pixels);
  std::free(image);
}

}  // namespace
