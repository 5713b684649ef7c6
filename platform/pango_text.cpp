// Text drawn with Pango on Cairo image surfaces: fontconfig picks a font per character, so CJK and emoji show.
#include "platform/pango_text.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdlib>
#include <cstring>

struct TextCanvas {
  cairo_surface_t* surface;
  cairo_t* cr;
  int width, height;
  unsigned char* rgb;  // the surface converted for the caller
};

namespace {

// One measuring context for the window's thread: layouts need a Cairo context for font metrics.
// Written by the measuring and drawing calls, on the window's thread only.
struct TextMeasure {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  char safe[4096];  // text with bytes that are not UTF-8 replaced, same length
  int baselines[2][64];  // LatinBaseline's answers by weight and size; 0: not yet asked
};
TextMeasure Measure;

cairo_t* MeasureContext() {
  if (!Measure.cr) {
    Measure.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    Measure.cr = cairo_create(Measure.surface);
  }
  return Measure.cr;
}

// Pango wants valid UTF-8; each stray byte becomes '?' so byte indices keep their meaning.
const char* SafeText(const char* text, int* length) {
  if (*length < 0) *length = 0;
  if (*length > static_cast<int>(sizeof Measure.safe) - 1) *length = sizeof Measure.safe - 1;
  std::memcpy(Measure.safe, text, static_cast<std::size_t>(*length));
  Measure.safe[*length] = '\0';
  const char* end = nullptr;
  while (!g_utf8_validate(Measure.safe, *length, &end)) {
    int at = static_cast<int>(end - Measure.safe);
    if (at >= *length) break;
    Measure.safe[at] = '?';
  }
  return Measure.safe;
}

PangoLayout* MakeLayout(cairo_t* cr, const char* text, int length, int size, bool bold) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, "Sans");
  pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
  if (bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  const char* safe = SafeText(text, &length);
  pango_layout_set_text(layout, safe, length);
  return layout;
}

// Pixels from a line's top to its baseline in the Latin font, per size and weight (cached: the
// panel asks for it on every row it draws).
int LatinBaseline(int size, bool bold) {
  const bool cached = size > 0 && size < 64;
  if (cached && Measure.baselines[bold][size]) return Measure.baselines[bold][size];
  PangoLayout* layout = MakeLayout(MeasureContext(), "Ag", 2, size, bold);
  const int baseline = PANGO_PIXELS(pango_layout_get_baseline(layout));
  g_object_unref(layout);
  if (cached) Measure.baselines[bold][size] = baseline;
  return baseline;
}

guint16 Channel16(unsigned char c) { return static_cast<guint16>(c * 257); }

// The spans as Pango attributes: colour and underline over their bytes.
PangoAttrList* SpanAttributes(const TextSpan* spans, int spanCount, int length) {
  PangoAttrList* list = pango_attr_list_new();
  for (int i = 0; i < spanCount; ++i) {
    if (spans[i].from < 0 || spans[i].to > length || spans[i].from >= spans[i].to) continue;
    const TextRgb& c = spans[i].colour;
    PangoAttribute* fg = pango_attr_foreground_new(Channel16(c.r), Channel16(c.g), Channel16(c.b));
    fg->start_index = static_cast<guint>(spans[i].from);
    fg->end_index = static_cast<guint>(spans[i].to);
    pango_attr_list_insert(list, fg);
    if (spans[i].underline) {
      PangoAttribute* line = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
      line->start_index = fg->start_index;
      line->end_index = fg->end_index;
      pango_attr_list_insert(list, line);
    }
  }
  return list;
}

// The plate's outline: a rounded rectangle, with a tail under its middle.
void PlatePath(cairo_t* cr, double x, double y, double w, double h, double radius, double tail) {
  const double kPi = 3.14159265358979;
  const double middle = x + w / 2.0;
  cairo_new_path(cr);
  cairo_arc(cr, x + radius, y + radius, radius, kPi, 1.5 * kPi);
  cairo_arc(cr, x + w - radius, y + radius, radius, 1.5 * kPi, 2.0 * kPi);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0.0, 0.5 * kPi);
  if (tail > 0.0) {
    cairo_line_to(cr, middle + tail, y + h);
    cairo_line_to(cr, middle, y + h + tail);
    cairo_line_to(cr, middle - tail, y + h);
  }
  cairo_arc(cr, x + radius, y + h - radius, radius, 0.5 * kPi, kPi);
  cairo_close_path(cr);
}

}  // namespace

TextCanvas* CreateTextCanvas(int width, int height, TextRgb background) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
  TextCanvas* canvas = new TextCanvas();
  canvas->width = width;
  canvas->height = height;
  canvas->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  canvas->cr = cairo_create(canvas->surface);
  canvas->rgb = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(width) * height * 3));
  if (cairo_status(canvas->cr) != CAIRO_STATUS_SUCCESS || !canvas->rgb) {
    DestroyTextCanvas(canvas);
    return nullptr;
  }
  FillTextRect(canvas, 0, 0, width, height, background);
  return canvas;
}

void DestroyTextCanvas(TextCanvas* canvas) {
  if (!canvas) return;
  if (canvas->cr) cairo_destroy(canvas->cr);
  if (canvas->surface) cairo_surface_destroy(canvas->surface);
  std::free(canvas->rgb);
  delete canvas;
}

void FillTextRect(TextCanvas* canvas, int x, int y, int width, int height, TextRgb colour) {
  if (!canvas) return;
  cairo_set_source_rgb(canvas->cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
  cairo_rectangle(canvas->cr, x, y, width, height);
  cairo_fill(canvas->cr);
}

void DrawText(TextCanvas* canvas, int x, int y, const char* text, int length, int size, bool bold,
              TextRgb colour, const TextSpan* spans, int spanCount) {
  if (!canvas || !text || length <= 0) return;
  PangoLayout* layout = MakeLayout(canvas->cr, text, length, size, bold);
  if (spanCount > 0 && spans) {
    PangoAttrList* list = SpanAttributes(spans, spanCount, length);
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
  }
  cairo_set_source_rgb(canvas->cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
  // A line with a taller fallback font (CJK, emoji) keeps the baseline a Latin line has, so
  // rows of mixed scripts stand on one line instead of sinking.
  const int drop = PANGO_PIXELS(pango_layout_get_baseline(layout)) - LatinBaseline(size, bold);
  cairo_move_to(canvas->cr, x, y - drop);
  pango_cairo_show_layout(canvas->cr, layout);
  g_object_unref(layout);
}

const unsigned char* TextCanvasPixels(TextCanvas* canvas) {
  if (!canvas) return nullptr;
  cairo_surface_flush(canvas->surface);
  const unsigned char* data = cairo_image_surface_get_data(canvas->surface);
  const int stride = cairo_image_surface_get_stride(canvas->surface);
  for (int row = 0; row < canvas->height; ++row) {
    const uint32_t* in = reinterpret_cast<const uint32_t*>(data + static_cast<std::size_t>(row) * stride);
    unsigned char* out = canvas->rgb + static_cast<std::size_t>(row) * canvas->width * 3;
    for (int col = 0; col < canvas->width; ++col) {
      uint32_t p = in[col];  // 0x00RRGGBB in native order
      out[3 * col] = static_cast<unsigned char>(p >> 16);
      out[3 * col + 1] = static_cast<unsigned char>(p >> 8);
      out[3 * col + 2] = static_cast<unsigned char>(p);
    }
  }
  return canvas->rgb;
}

int TextWidth(const char* text, int length, int size, bool bold) {
  if (!text || length <= 0) return 0;
  PangoLayout* layout = MakeLayout(MeasureContext(), text, length, size, bold);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return width;
}

int TextHeight(int size) {
  PangoLayout* layout = MakeLayout(MeasureContext(), "Ag", 2, size, false);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return height;
}

int TextIndexToX(const char* text, int length, int size, int index) {
  if (!text || length <= 0 || index <= 0) return 0;
  if (index >= length) return TextWidth(text, length, size, false);
  PangoLayout* layout = MakeLayout(MeasureContext(), text, length, size, false);
  PangoRectangle pos;
  pango_layout_index_to_pos(layout, index, &pos);
  g_object_unref(layout);
  return PANGO_PIXELS(pos.x);
}

int TextXToIndex(const char* text, int length, int size, int x) {
  if (!text || length <= 0 || x <= 0) return 0;
  PangoLayout* layout = MakeLayout(MeasureContext(), text, length, size, false);
  int index = 0, trailing = 0;
  pango_layout_xy_to_index(layout, x * PANGO_SCALE, 0, &index, &trailing);
  // trailing counts characters past index: step over that many whole UTF-8 characters.
  const char* safe = pango_layout_get_text(layout);
  while (trailing-- > 0 && index < length) index = static_cast<int>(g_utf8_next_char(safe + index) - safe);
  g_object_unref(layout);
  return index > length ? length : index;
}

int TextMissingGlyphs(const char* text, int length, int size) {
  if (!text || length <= 0) return 0;
  PangoLayout* layout = MakeLayout(MeasureContext(), text, length, size, false);
  int missing = pango_layout_get_unknown_glyphs_count(layout);
  g_object_unref(layout);
  return missing;
}

unsigned char* DrawTextPlate(const char* text, int length, const TextPlateStyle& style, const TextSpan* spans,
                             int spanCount, int* width, int* height) {
  *width = *height = 0;
  if (!text || length <= 0 || style.size <= 0 || style.maxWidth <= 0) return nullptr;
  PangoLayout* layout = MakeLayout(MeasureContext(), text, length, style.size, style.bold);
  length = static_cast<int>(std::strlen(pango_layout_get_text(layout)));
  PangoAttrList* list = SpanAttributes(spans, spans ? spanCount : 0, length);
  if (style.italic) pango_attr_list_insert_before(list, pango_attr_style_new(PANGO_STYLE_ITALIC));
  pango_layout_set_attributes(layout, list);
  pango_attr_list_unref(list);
  pango_layout_set_width(layout, style.maxWidth * PANGO_SCALE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_height(layout, -(style.maxLines > 0 ? style.maxLines : 1));  // lines, not pixels
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  const int pad = style.padding > 0 ? style.padding : 0, tail = style.tail > 0 ? style.tail : 0;
  const int plateWidth = logical.width + 2 * pad, plateHeight = logical.height + 2 * pad;
  // A rounded plate keeps a pixel around it for its edge; a square one's edge is its border.
  const int around = style.rounded ? 2 : 0;
  const int w = plateWidth + around, h = plateHeight + around + tail;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(surface);
  unsigned char* rgba = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(w) * h * 4));
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || !rgba) {
    std::free(rgba);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    g_object_unref(layout);
    return nullptr;
  }
  if (style.rounded) {
    const double radius = plateHeight < 2 * pad + 8 ? plateHeight / 2.5 : pad + 3.0;
    PlatePath(cr, 1.5, 1.5, plateWidth - 1.0, plateHeight - 1.0, radius, tail);
  } else {
    cairo_rectangle(cr, 0.5, 0.5, w - 1.0, h - 1.0);  // the edge on the picture's own border
  }
  cairo_set_source_rgba(cr, style.plate.r / 255.0, style.plate.g / 255.0, style.plate.b / 255.0, style.plateAlpha / 255.0);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgb(cr, style.border.r / 255.0, style.border.g / 255.0, style.border.b / 255.0);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, style.colour.r / 255.0, style.colour.g / 255.0, style.colour.b / 255.0);
  cairo_move_to(cr, around / 2 + pad - logical.x, around / 2 + pad - logical.y);
  pango_cairo_show_layout(cr, layout);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int row = 0; row < h; ++row) {
    const uint32_t* in = reinterpret_cast<const uint32_t*>(data + static_cast<std::size_t>(row) * stride);
    unsigned char* out = rgba + static_cast<std::size_t>(row) * w * 4;
    for (int col = 0; col < w; ++col) {
      uint32_t p = in[col];  // 0xAARRGGBB in native order, premultiplied
      out[4 * col] = static_cast<unsigned char>(p >> 16);
      out[4 * col + 1] = static_cast<unsigned char>(p >> 8);
      out[4 * col + 2] = static_cast<unsigned char>(p);
      out[4 * col + 3] = static_cast<unsigned char>(p >> 24);
    }
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  g_object_unref(layout);
  *width = w;
  *height = h;
  return rgba;
}

int TextFitLength(const char* text, int length, int size, int width) {
  if (!text || length <= 0) return 0;
  PangoLayout* layout = MakeLayout(MeasureContext(), text, length, size, false);
  // A line break would end the first line early: it is measured as the blank a row shows.
  const int measured = static_cast<int>(strnlen(Measure.safe, sizeof Measure.safe));
  if (std::strpbrk(Measure.safe, "\r\n")) {
    for (int i = 0; i < measured; ++i)
      if (Measure.safe[i] == '\n' || Measure.safe[i] == '\r') Measure.safe[i] = ' ';
    pango_layout_set_text(layout, Measure.safe, measured);
  }
  pango_layout_set_width(layout, (width > 1 ? width : 1) * PANGO_SCALE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  PangoLayoutLine* first = pango_layout_get_line_readonly(layout, 0);
  int fit = first ? first->length : measured;
  if (fit <= 0) fit = static_cast<int>(g_utf8_next_char(Measure.safe) - Measure.safe);  // one character at least
  g_object_unref(layout);
  return fit > length ? length : fit;
}
