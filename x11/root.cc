// quadrix-x -root: the clock drawn at the size of the screen into a pixmap
// that becomes the root window's background, redrawn every interval.
//
// The pixmap is published the way wallpaper setters publish theirs: the
// root properties _XROOTPMAP_ID and ESETROOT_PMAP_ID name it, so that
// programs with pseudo-transparency can read the background, and the next
// setter can free it.  Neither property may ever name a pixmap that no
// longer exists: a new pixmap is named before the old one is freed, and
// once the first picture shows the connection is kept in the server at
// its end (RetainPermanent), so that the last pixmap, and in a colormap
// of its own cells the colours it is drawn in, outlive the process.
//
// SIGTERM and SIGINT end the loop.  The handler does no X work: it sets a
// flag and writes a byte into a pipe that select watches beside the
// connection, so that a signal that comes just before select still wakes
// it.

#include "root.h"

#include "display.h"
#include "host.h"
#include "options.h"
#include "surface.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

volatile std::sig_atomic_t stop_requested = 0;
int signal_pipe[2] = {-1, -1};

Atom xrootpmap_id;
Atom esetroot_pmap_id;

// The size of the screen when it was last read; the drawing's width and
// height are never below the face's minimum.
int root_width;
int root_height;
bool retained = false;
int last_error = 0;

void note_stop_signal(int) {
    const int saved = errno;
    stop_requested = 1;
    const char byte = 0;
    // A full pipe already holds a wake-up.
    if (write(signal_pipe[1], &byte, 1) < 0) {
    }
    errno = saved;
}

void catch_stop_signals() {
    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        fatal_error("Cannot make a pipe: %s", std::strerror(errno));
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = note_stop_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// The root window's visual, depth and colormap: the background must have
// them.  In a colormap of any colour class the colour options count, and
// each takes the closest colour the colormap can give; in a grey one the
// clock is black and white.
void init_root_colours() {
    visual = DefaultVisual(display, screen_number);
    depth = DefaultDepth(display, screen_number);
    colormap = DefaultColormap(display, screen_number);
    visual_found = visual->c_class != GrayScale && visual->c_class != StaticGray;
    alloc_colours();
}

// Reads the size of the root window, which follows the screen.
void read_root_size() {
    Window ignored_root;
    int x = 0;
    int y = 0;
    unsigned int read_width = 0;
    unsigned int read_height = 0;
    unsigned int border_width = 0;
    unsigned int read_depth = 0;
    XGetGeometry(display, root_window, &ignored_root, &x, &y, &read_width, &read_height,
                 &border_width, &read_depth);
    root_width = static_cast<int>(read_width);
    root_height = static_cast<int>(read_height);
}

// The pixmap that a root property names, or None when it names none.
Pixmap named_pixmap(Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    Pixmap id = None;
    if (XGetWindowProperty(display, root_window, property, 0, 1, False, XA_PIXMAP, &type,
                           &format, &count, &after, &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1 && data != nullptr)
        id = static_cast<Pixmap>(*reinterpret_cast<unsigned long *>(data));
    if (data != nullptr)
        XFree(data);
    return id;
}

int note_error(Display *, XErrorEvent *error) {
    last_error = error->error_code;
    return 0;
}

// An earlier setter that follows the convention names its pixmap in both
// properties and leaves its connection retained in the server; ending that
// client frees the pixmap with all the rest it holds.  A pixmap that no
// longer exists is left alone: its client number may belong to another
// client by now.  Errors of these requests are expected and only noted.
void free_earlier_setter(Pixmap earlier) {
    XSync(display, False);
    int (*previous)(Display *, XErrorEvent *) = XSetErrorHandler(note_error);
    last_error = 0;
    Window ignored_root;
    int x = 0;
    int y = 0;
    unsigned int values[4];
    if (XGetGeometry(display, earlier, &ignored_root, &x, &y, &values[0], &values[1], &values[2],
                     &values[3]) != 0 &&
        last_error == 0)
        XKillClient(display, earlier);
    XSync(display, False);
    XSetErrorHandler(previous);
}

void name_pixmap(Atom property) {
    XChangeProperty(display, root_window, property, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pixmap), 1);
}

// Makes the pixmap the background and shows it.  Writing the properties
// again, even with the same pixmap, tells the programs that follow them
// that the background has changed.
void show_picture() {
    XSetWindowBackgroundPixmap(display, root_window, pixmap);
    XClearWindow(display, root_window);
    name_pixmap(xrootpmap_id);
    name_pixmap(esetroot_pmap_id);
}

// A pixmap for the current size; the one shown so far is freed only once
// the new one is shown and named.
Pixmap new_pixmap() {
    const Pixmap shown = pixmap;
    width = at_least_minimum(root_width);
    height = at_least_minimum(root_height);
    pixmap = XCreatePixmap(display, root_window, width, height, depth);
    if (pixmap == None)
        fatal_error("Creating bitmap");
    if (shown == None)
        pixmap_gc = XCreateGC(display, pixmap, 0, nullptr);
    return shown;
}

// Reads every event that has arrived: the root window's ConfigureNotify
// tells of a new screen size.
void handle_root_events() {
    XEvent event;
    while (XPending(display) != 0) {
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == root_window) {
            root_width = event.xconfigure.width;
            root_height = event.xconfigure.height;
        }
    }
}

bool size_changed() {
    return at_least_minimum(root_width) != width || at_least_minimum(root_height) != height;
}

}  // namespace

int run_root() {
    catch_stop_signals();
    open_display();
    xrootpmap_id = XInternAtom(display, "_XROOTPMAP_ID", False);
    esetroot_pmap_id = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    // Events first, then the size: a change in between is not lost.
    XSelectInput(display, root_window, StructureNotifyMask);
    read_root_size();
    init_root_colours();

    const Pixmap earlier = named_pixmap(esetroot_pmap_id);
    const bool earlier_setter = earlier != None && named_pixmap(xrootpmap_id) == earlier;

    const int connection = ConnectionNumber(display);
    const int highest = connection > signal_pipe[0] ? connection : signal_pipe[0];
    for (;;) {
        Pixmap replaced = None;
        if (pixmap == None || size_changed())
            replaced = new_pixmap();
        draw_face();
        show_picture();
        if (replaced != None)
            XFreePixmap(display, replaced);
        if (!retained) {
            // From now on the properties name a pixmap of this client, which
            // must outlive it, however it ends.
            XSetCloseDownMode(display, RetainPermanent);
            retained = true;
            if (earlier_setter)
                free_earlier_setter(earlier);
        }
        XFlush(display);
        if (stop_requested)
            break;

        timeval timeout;
        timeout.tv_sec = interval;
        timeout.tv_usec = 0;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection, &readable);
        FD_SET(signal_pipe[0], &readable);
        // As in the window's loop: events that Xlib has already read wait
        // in its queue, where select cannot see them.
        if (XPending(display) == 0 &&
            select(highest + 1, &readable, nullptr, nullptr, &timeout) <= 0) {
            if (stop_requested)
                break;
            continue;
        }
        if (stop_requested)
            break;
        handle_root_events();
    }

    // The pixmap stays, as the background and in both properties; the GC
    // is of no use to anyone.
    XFreeGC(display, pixmap_gc);
    XCloseDisplay(display);
    return 0;
}
