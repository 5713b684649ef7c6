// The bitmap font: 256 glyph display lists and text labels drawn with them.
#pragma once

extern unsigned int GlyphListBase;
extern unsigned int FontTexture;  // 0 until the font bitmap loads

void CreateGlyphLists();
void DeleteGlyphLists();
void PrintText(const char* text);
