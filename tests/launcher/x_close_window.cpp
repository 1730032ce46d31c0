// Asks an X window to close as its close box would: sends it the window manager's
// WM_DELETE_WINDOW message. Needed where no window manager runs (Xvfb).
//   x_close_window WINDOW-ID
// Exit code 0 when the message was sent, 1 when the window does not take it, 2 on a usage
// or display error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace {
bool g_badWindow = false;
int OnError(Display*, XErrorEvent*) {
  g_badWindow = true;
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: x_close_window WINDOW-ID\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long id = std::strtoul(argv[1], &end, 0);
  if (!end || *end != '\0' || id == 0) {
    std::fprintf(stderr, "x_close_window: not a window id: %s\n", argv[1]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "x_close_window: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(OnError);
  const Window window = static_cast<Window>(id);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

  Atom* list = nullptr;
  int count = 0;
  bool takesDelete = false;
  if (XGetWMProtocols(display, window, &list, &count)) {
    for (int i = 0; i < count; ++i)
      if (list[i] == deleteWindow) takesDelete = true;
    XFree(list);
  }
  if (!takesDelete || g_badWindow) {
    XCloseDisplay(display);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(deleteWindow);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  const bool sent = !g_badWindow;
  XCloseDisplay(display);
  return sent ? 0 : 1;
}
