// What a test does to windows on an X server from outside, as a user or the window manager
// would, on the display DISPLAY names:
//   x_window_tool iconify TITLE   asks the window manager to minimize the window TITLE
//   x_window_tool state TITLE     prints its WM_STATE: "normal", "iconic" or "none"
//   x_window_tool grab FILE       saves the whole screen as a PNG
// Ends with 1 when no window has that title.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

namespace {

// The first window, depth first, whose WM_NAME is `title`: window managers put the
// program's window inside a frame of their own, so the search goes down the tree.
Window findByTitle(Display* display, Window from, const char* title)
{
    char* name = nullptr;
    if (XFetchName(display, from, &name) && name != nullptr) {
        const bool same = std::strcmp(name, title) == 0;
        XFree(name);
        if (same)
            return from;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, from, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && found == 0; ++i)
            found = findByTitle(display, children[i], title);
        if (children != nullptr)
            XFree(children);
    }
    return found;
}

const char* stateOf(Display* display, Window window)
{
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const char* state = "none";
    if (XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format, &items, &after, &data) ==
            Success &&
        data != nullptr && items >= 1 && format == 32) {
        const long value = reinterpret_cast<long*>(data)[0];
        state = value == IconicState ? "iconic" : value == NormalState ? "normal" : "withdrawn";
    }
    if (data != nullptr)
        XFree(data);
    return state;
}

// ICCCM 4.1.4: a client message to the root window.
void iconify(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_CHANGE_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = IconicState;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: x_window_tool iconify TITLE | state TITLE | grab FILE\n");
        return 64;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "grab") == 0) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        QGuiApplication app(argc, argv);
        return QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return 2;
    const Window window = findByTitle(display, DefaultRootWindow(display), argv[2]);
    int rc = 0;
    if (window == 0)
        rc = 1;
    else if (std::strcmp(command, "iconify") == 0)
        iconify(display, window);
    else if (std::strcmp(command, "state") == 0)
        std::printf("%s\n", stateOf(display, window));
    else
        rc = 64;
    XCloseDisplay(display);
    return rc;
}
