// The console panel widget: rows drawn with Pango, a mouse selection, links and the divider above it.
#pragma once
#include <FL/Fl_Widget.H>

#include "platform/console_panel.h"

constexpr int kMaxShownRows = 40;
constexpr int kPanelRowBytes = 512;

class PanelBox : public Fl_Widget {
 public:
  PanelBox(int x, int y, int w, int h, void (*onClick)()) : Fl_Widget(x, y, w, h), onClick(onClick) {}
  ~PanelBox() override;
  void SetRows(const PanelRow* rows, int count, const char* marker);
  void draw() override;
  // Mouse events given by the panel's holder window; 1 when taken.
  int HandleMouse(int event);
  // The selected text to the clipboard (1) or the primary selection (0); false when none.
  bool CopySelection(int clipboard);
  int Rows() const { return count; }
  // Bytes of text that fit in one row at the panel's width (console_panel.h: PanelRowFit).
  int RowFit(const char* text, int length) const;

 private:
  struct Row {
    char text[kPanelRowBytes];
    int length;
    bool attention;
    int spanCount;
    PanelSpan spans[kMaxPanelSpans];
  };
  struct Point {
    int row, byte;
  };
  Point PointAt(int mx, int my) const;
  const PanelSpan* LinkAt(int mx, int my) const;
  int SelectedText(char* out, int size) const;
  void ShiftSelection(int rowsUp);
  int RowsAtPointer() const;

  Row rows[kMaxShownRows] = {};
  int count = 0;
  char marker[48] = "";
  Point anchor = {0, 0}, focus = {0, 0};  // the selection, in the order the mouse made it
  bool selecting = false;
  bool resizing = false;
  int resizeRows = 0;
  void (*onClick)();
};
