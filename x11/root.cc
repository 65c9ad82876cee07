// quadrix-x -root: the clock as the background of the root window, a face
// of its own on each monitor, brought up to date on the wall clock's
// multiples of the interval.
//
// The pixmap is published the way wallpaper setters publish theirs: the
// root properties _XROOTPMAP_ID and ESETROOT_PMAP_ID name it, so that
// programs with pseudo-transparency can read the background, and the next
// setter can free it.  It belongs to a connection of its own, closed as
// soon as the pixmap is made and kept in the server (RetainPermanent)
// with the pixmap and, in a colormap of its own cells, the colours the
// clock draws in: the next setter's XKillClient frees exactly that,
// whether the clock still runs or not.  The clock draws into it over its
// main connection.  Neither property may ever name a pixmap that no longer
// exists: a new pixmap is named before the old one is freed.
//
// The clock yields to whoever sets the background after it: when
// _XROOTPMAP_ID names another pixmap, or its own pixmap is gone, it ends
// with status 0 and leaves the background alone.  The properties are read
// and written with the server grabbed, so that of two clocks started
// together one remains.
//
// Each update sends only what changed: the changed boxes are drawn into
// the pixmap and copied onto the root window, and the properties are
// written again, which tells the programs that follow them of the change.
// A new size, new monitors or a new pixmap repaint everything.
//
// SIGTERM and SIGINT end the loop.  The handler does no X work: it sets a
// flag and writes a byte into a pipe that select watches beside the
// connection, so that a signal that comes just before select still wakes
// it.

#include "root.h"

#include "display.h"
#include "face_fills.h"
#include "host.h"
#include "monitors.h"
#include "options.h"
#include "quadface.h"
#include "surface.h"
#include "ticks.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

namespace {

volatile std::sig_atomic_t stop_requested = 0;
int signal_pipe[2] = {-1, -1};

Atom xrootpmap_id;
Atom esetroot_pmap_id;

// The size of the screen when it was last read; the drawing's width and
// height are never below the face's minimum.
int root_width;
int root_height;

// The monitors as last read, the faces last drawn on them, and the
// background around them.
std::vector<Box> monitors;
std::vector<FaceFills> shown;
FaceFills around;
bool monitors_changed = true;
bool repaint_all = true;
bool fresh = false;       // the pixmap is new, and not yet the background
Pixmap replaced = None;   // the clock's pixmap that the new one replaces
bool named = false;  // the properties have named the pixmap
// The notices of _XROOTPMAP_ID's changes that the clock's own writes are
// still to bring; any other is another program's.
int own_notices = 0;
GC root_gc;  // copies onto the root window; no graphics exposures
std::vector<Box> changed;
std::vector<Box> boxes;

// Errors: expected ones are only noted while expecting_errors is set;
// those about the clock's own pixmap mean that it is gone; the rest end
// the process as Xlib's own handler does.
int (*xlib_error_handler)(Display *, XErrorEvent *);
bool expecting_errors = false;
int last_error = 0;
bool pixmap_gone = false;

int note_error(Display *on, XErrorEvent *error) {
    if (expecting_errors) {
        last_error = error->error_code;
        return 0;
    }
    if (pixmap != None && error->resourceid == pixmap &&
        (error->error_code == BadDrawable || error->error_code == BadPixmap)) {
        pixmap_gone = true;
        return 0;
    }
    return xlib_error_handler(on, error);
}

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

// Frees a setter's pixmap by ending the retained client that holds it.  A
// pixmap that no longer exists is left alone: its client number may
// belong to another client by now.  Errors of these requests are expected
// and only noted.
void free_setter(Pixmap held) {
    XSync(display, False);
    expecting_errors = true;
    last_error = 0;
    Window ignored_root;
    int x = 0;
    int y = 0;
    unsigned int values[4];
    if (XGetGeometry(display, held, &ignored_root, &x, &y, &values[0], &values[1], &values[2],
                     &values[3]) != 0 &&
        last_error == 0)
        XKillClient(display, held);
    XSync(display, False);
    expecting_errors = false;
}

// A pixmap for the root's size, held by a connection of its own that the
// server keeps after it closes, with the colours the clock allocated: a
// colormap of its own cells would give them back when the clock ends.
Pixmap retained_pixmap() {
    Display *owner = XOpenDisplay(DisplayString(display));
    if (owner == nullptr)
        fatal_error("Cannot open a second connection to the X server");
    const Pixmap made =
        XCreatePixmap(owner, RootWindow(owner, screen_number), width, height, depth);
    if (made == None)
        fatal_error("Creating bitmap");
    if (visual_found) {
        XColor screen_colour;
        XColor exact_colour;
        for (const char *name : {fg_name, bg_name, hc_name, mc_name, sc_name, ic_name})
            if (name != nullptr)
                XAllocNamedColor(owner, colormap, name, &screen_colour, &exact_colour);
    }
    XSetCloseDownMode(owner, RetainPermanent);
    XCloseDisplay(owner);
    return made;
}

void name_pixmap(Atom property) {
    XChangeProperty(display, root_window, property, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pixmap), 1);
}

// Ends the clock, leaving the background to whoever set it after the
// clock; its own pixmap is freed when no property names it any more.
[[noreturn]] void yield() {
    if (!pixmap_gone) {
        XGrabServer(display);
        if (named_pixmap(xrootpmap_id) != pixmap && named_pixmap(esetroot_pmap_id) != pixmap)
            free_setter(pixmap);
        XUngrabServer(display);
    }
    XFreeGC(display, pixmap_gc);
    XFreeGC(display, root_gc);
    XCloseDisplay(display);
    end_process(0);
}

// Names the pixmap in both properties, the server grabbed: the first time
// in place of whatever an earlier setter left, whose pixmap is freed when
// both properties name it; later only while _XROOTPMAP_ID still names
// the clock's pixmap (or the one it replaces), else the clock yields.
void publish() {
    XGrabServer(display);
    const Pixmap current = named_pixmap(xrootpmap_id);
    if (pixmap_gone || (named && current != pixmap && current != replaced)) {
        XUngrabServer(display);
        yield();
    }
    const Pixmap earlier = named ? None : named_pixmap(esetroot_pmap_id);
    name_pixmap(xrootpmap_id);
    name_pixmap(esetroot_pmap_id);
    own_notices++;
    if (earlier != None && earlier == current && earlier != pixmap)
        free_setter(earlier);
    if (replaced != None)
        free_setter(replaced);
    XUngrabServer(display);
    named = true;
}

// A new pixmap for the current size; the next update draws it whole and
// makes it the background.  The one shown so far is freed only once the
// new one is named.
void new_pixmap() {
    width = at_least_minimum(root_width);
    height = at_least_minimum(root_height);
    replaced = pixmap;
    pixmap = retained_pixmap();
    if (replaced == None)
        pixmap_gc = XCreateGC(display, pixmap, 0, nullptr);
    around.area = Box{0, 0, width, height};
    around.count = 1;
    around.fills[0] = FaceFill{PEN_BACKGROUND, around.area};
    repaint_all = true;
    fresh = true;
}

// Draws the current time on every monitor and sends what changed: into
// the pixmap, onto the root window, and to the properties' readers.  A
// new pixmap, or new monitors, get everything.
void update_root() {
    int hour;
    int minute;
    int second;
    read_local_time(hour, minute, second);
    boxes.clear();
    std::vector<FaceFills> now(monitors.size());
    for (std::size_t i = 0; i < monitors.size(); i++) {
        const Box &m = monitors[i];
        record_face(now[i], hour, minute, second, at_least_minimum(m.width),
                    at_least_minimum(m.height), border, m.x, m.y);
        if (repaint_all)
            continue;
        changed_boxes(shown[i], now[i], changed, pen_keys());
        clip_boxes(changed, around.area);
        boxes.insert(boxes.end(), changed.begin(), changed.end());
    }
    if (repaint_all)
        boxes.assign(1, around.area);
    shown.swap(now);
    repaint_all = false;
    if (boxes.empty())
        return;
    std::vector<const FaceFills *> faces{&around};
    for (const FaceFills &face : shown)
        faces.push_back(&face);
    paint_boxes(faces.data(), static_cast<int>(faces.size()), boxes);
    if (fresh) {
        XSetWindowBackgroundPixmap(display, root_window, pixmap);
        XClearWindow(display, root_window);
    } else {
        // The root window shows its background anew where it changed.
        copy_boxes(root_gc, root_window, boxes);
    }
    publish();
    replaced = None;
    fresh = false;
}

// Reads every event that has arrived: the root window's ConfigureNotify
// tells of a new screen size or new monitors, RandR's notices of new
// monitors, and PropertyNotify of a new background.
bool handle_root_events() {
    XEvent event;
    bool background_changed = false;
    while (XPending(display) != 0) {
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == root_window) {
            root_width = event.xconfigure.width;
            root_height = event.xconfigure.height;
            monitors_changed = true;
        } else if (event.type == PropertyNotify && event.xproperty.atom == xrootpmap_id) {
            if (own_notices > 0)
                own_notices--;
            else
                background_changed = true;
        } else if (monitors_event(event)) {
            monitors_changed = true;
        }
    }
    return background_changed;
}

bool size_changed() {
    return at_least_minimum(root_width) != width || at_least_minimum(root_height) != height;
}

void reread_monitors() {
    std::vector<Box> found;
    read_monitors(root_width, root_height, found);
    bool same = found.size() == monitors.size();
    for (std::size_t i = 0; same && i < found.size(); i++)
        same = found[i].x == monitors[i].x && found[i].y == monitors[i].y &&
               found[i].width == monitors[i].width && found[i].height == monitors[i].height;
    if (!same) {
        monitors.swap(found);
        repaint_all = true;
    }
    monitors_changed = false;
}

}  // namespace

int run_root() {
    catch_stop_signals();
    open_display();
    xlib_error_handler = XSetErrorHandler(note_error);
    xrootpmap_id = XInternAtom(display, "_XROOTPMAP_ID", False);
    esetroot_pmap_id = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    // Events first, then the size and the monitors: a change in between
    // is not lost.
    XSelectInput(display, root_window, StructureNotifyMask | PropertyChangeMask);
    watch_monitors();
    read_root_size();
    init_root_colours();
    XGCValues values;
    values.graphics_exposures = False;
    root_gc = XCreateGC(display, root_window, GCGraphicsExposures, &values);

    const int connection = ConnectionNumber(display);
    const int highest = connection > signal_pipe[0] ? connection : signal_pipe[0];
    // An update is due at every tick; between ticks only new monitors or
    // a new size draw (the notices of the clock's own properties do not).
    bool due = true;
    for (;;) {
        if (monitors_changed)
            reread_monitors();
        if (pixmap == None || size_changed())
            new_pixmap();
        if (due || repaint_all)
            update_root();
        due = false;
        XFlush(display);
        if (stop_requested)
            break;

        const timespec timeout = as_timespec(nanoseconds_to_next_tick(interval));
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection, &readable);
        FD_SET(signal_pipe[0], &readable);
        // As in the window's loop: events that Xlib has already read wait
        // in its queue, where select cannot see them.
        if (XPending(display) == 0 &&
            pselect(highest + 1, &readable, nullptr, nullptr, &timeout, nullptr) <= 0) {
            if (stop_requested)
                break;
            if (pixmap_gone)
                yield();
            due = true;
            continue;
        }
        if (stop_requested)
            break;
        const bool background_changed = handle_root_events();
        if (pixmap_gone || (background_changed && named_pixmap(xrootpmap_id) != pixmap))
            yield();
    }

    // The pixmap stays, as the background and in both properties; the GCs
    // are of no use to anyone.
    XFreeGC(display, pixmap_gc);
    XFreeGC(display, root_gc);
    XCloseDisplay(display);
    return 0;
}
