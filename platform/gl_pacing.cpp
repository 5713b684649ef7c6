// The view's pacing by the display through GLX extensions: the swap interval and the refresh rate.
#include "platform/gl_pacing.h"

#include <cstdint>
#include <cstring>

#include "platform/gui_window.h"

void SetSwapInterval(int interval) {
  Display* display = glXGetCurrentDisplay();
  GLXDrawable drawable = glXGetCurrentDrawable();
  if (!display || !drawable) return;
  const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
  if (extensions && std::strstr(extensions, "GLX_EXT_swap_control")) {
    auto swapInterval = reinterpret_cast<void (*)(Display*, GLXDrawable, int)>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
    if (swapInterval) {
      swapInterval(display, drawable, interval);
      return;
    }
  }
  if (extensions && std::strstr(extensions, "GLX_MESA_swap_control")) {
    auto swapInterval = reinterpret_cast<int (*)(unsigned)>(
        glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
    if (swapInterval) swapInterval(static_cast<unsigned>(interval));
  }
}

int GlxRefreshHz(Display* display, GLXDrawable drawable) {
  const char* extensions = display ? glXQueryExtensionsString(display, DefaultScreen(display)) : nullptr;
  if (!drawable || !extensions || !std::strstr(extensions, "GLX_OML_sync_control")) return 0;
  auto getRate = reinterpret_cast<Bool (*)(Display*, GLXDrawable, int32_t*, int32_t*)>(
      glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXGetMscRateOML")));
  int32_t numerator = 0, denominator = 0;
  if (!getRate || !getRate(display, drawable, &numerator, &denominator) || denominator <= 0) return 0;
  return static_cast<int>((numerator + denominator / 2) / denominator);
}
