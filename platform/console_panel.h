// The console panel's rows as plain data, and what the user does with the panel: select, copy, open, resize.
#pragma once

struct PlatformWidget;

constexpr int kPanelRowHeight = 16;  // pixels a row; the panel is rows * 16 + 1 high
constexpr int kMaxPanelSpans = 8;

struct PanelSpan {
  int from, to;           // bytes [from, to) of the row
  unsigned char r, g, b;  // the colour of a nickname
  bool link;              // a web address: drawn as a link, opened in the browser on a click
};

struct PanelRow {
  const char* text;
  bool attention;  // drawn on a highlighted band
  int spanCount;
  PanelSpan spans[kMaxPanelSpans];
};

// How many bytes of a UTF-8 text fit in one row of the panel as wide as it is now, in the one
// type size every row has: up to the last word that fits (a longer word is broken between
// characters), at least one character. The console carries the rest over to further rows.
int PanelRowFit(PlatformWidget* panel, const char* text, int length);

// The rows shown, top to bottom, and the marker of a scrolled-back view ("" for none), which
// is drawn at the last row's right end. The panel redraws only when they change.
void SetPanelRows(PlatformWidget* panel, const PanelRow* rows, int count, const char* marker);

// Opens a web address in the user's browser (xdg-open) without waiting for it; "www." gets
// "http://" before it. False when it could not be started.
bool OpenInBrowser(const char* address, int length);
