// Icon 101: the program's own 32x32 picture, for the window and the connection dialog.
#pragma once

class Fl_RGB_Image;

const Fl_RGB_Image* AppIconImage();
