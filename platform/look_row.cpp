// The row of looks in FLTK: a caption and one radio button per look with its picture.
#include "platform/look_row.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <strings.h>

#include <cstdio>
#include <cstring>

namespace {

const int kButtonWidth = kLookPictureWidth + 8, kButtonHeight = kLookPictureHeight + 8;
const int kCaptionWidth = 40;

struct Offered {
  char name[64];
  unsigned char rgb[kLookPictureWidth * kLookPictureHeight * 3];
  bool hasPicture;
  char letter[2];  // shown without a picture
};

// The dialog's widgets (FLTK deletes them with the dialog; the next row replaces them) and our
// copies of the pictures they show.
struct LookRow {
  Fl_Group* group = nullptr;
  Fl_Button* buttons[kLookRowChoices] = {};
  Fl_RGB_Image* pictures[kLookRowChoices] = {};
  Offered offered[kLookRowChoices];
  int count = 0;
};
LookRow row;

void DropPictures() {
  for (Fl_RGB_Image*& picture : row.pictures) {
    delete picture;
    picture = nullptr;
  }
}

}  // namespace

int LookRowHeight() { return kButtonHeight + 8; }

void AddLookRow(int x, int y, int w) {
  DropPictures();
  row.count = 0;
  row.group = new Fl_Group(x, y, w, LookRowHeight());
  Fl_Box* caption = new Fl_Box(x, y + 4, kCaptionWidth, kButtonHeight, "Look:");
  caption->labelsize(11);
  caption->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  for (int i = 0; i < kLookRowChoices; ++i) {
    Fl_Button* button = new Fl_Button(x + kCaptionWidth + i * (kButtonWidth + 2), y + 4, kButtonWidth, kButtonHeight);
    button->type(FL_RADIO_BUTTON);
    button->box(FL_THIN_UP_BOX);
    button->down_box(FL_DOWN_BOX);
    button->selection_color(FL_SELECTION_COLOR);
    button->labelsize(11);
    button->hide();
    row.buttons[i] = button;
  }
  row.group->resizable(nullptr);
  row.group->end();
}

void OfferLooks(const LookChoice* choices, int count, const char* chosen) {
  if (!row.group) return;
  DropPictures();
  row.count = count < 0 ? 0 : (count > kLookRowChoices ? kLookRowChoices : count);
  int pick = 0;
  for (int i = 0; i < kLookRowChoices; ++i) {
    Fl_Button* button = row.buttons[i];
    if (i >= row.count) {
      button->hide();
      continue;
    }
    Offered& o = row.offered[i];
    std::snprintf(o.name, sizeof o.name, "%s", choices[i].name ? choices[i].name : "");
    o.hasPicture = choices[i].rgb != nullptr;
    if (o.hasPicture) std::memcpy(o.rgb, choices[i].rgb, sizeof o.rgb);
    o.letter[0] = '?';  // a choice without a picture: "default", the look the nickname picks
    o.letter[1] = '\0';
    button->tooltip(o.name);
    if (o.hasPicture) {
      row.pictures[i] = new Fl_RGB_Image(o.rgb, kLookPictureWidth, kLookPictureHeight, 3);
      button->image(row.pictures[i]);
      button->label(nullptr);
    } else {
      button->image(nullptr);
      button->label(o.letter);
    }
    button->value(0);
    button->show();
    if (chosen && strcasecmp(chosen, o.name) == 0) pick = i;
  }
  if (row.count > 0) row.buttons[pick]->setonly();
  row.group->redraw();
}

const char* ChosenLook() {
  for (int i = 0; i < row.count; ++i)
    if (row.buttons[i]->value()) return row.offered[i].name;
  return row.count > 0 ? row.offered[0].name : "default";
}
