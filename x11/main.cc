// quadrix-x: shows the clock in an X11 window, or as an icon window for a
// dock, keeps it current on the wall clock's multiples of the interval,
// and quits when the window manager asks the window to close.  With -root
// it draws the desktop background instead (root.cc).

#include "display.h"
#include "host.h"
#include "options.h"
#include "root.h"
#include "surface.h"
#include "ticks.h"

#include <X11/Xlib.h>

#include <sys/select.h>

namespace {

bool recreate_pixmap = true;
bool exposed = false;
bool running = true;
XEvent event;

// Reads every event that has arrived.
void handle_events() {
    while (XPending(display) != 0) {
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify) {
            // A window made smaller than the face allows still gets the
            // smallest face, clipped by the copies.
            width = at_least_minimum(event.xconfigure.width);
            height = at_least_minimum(event.xconfigure.height);
            recreate_pixmap = true;
        } else if (event.type == Expose) {
            exposed = true;
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.data.l[0]) == wm_delete_window) {
            running = false;
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    take_memory_reserve();
    set_program_name(argc > 0 ? argv[0] : nullptr);
    parse_options(argc, argv);
    if (root_mode)
        return run_root();
    open_display();
    init_window();

    const int connection = ConnectionNumber(display);
    while (running) {
        // A new pixmap is drawn and copied whole; otherwise only what
        // changed is sent, and an Expose gets the whole picture again.
        if (recreate_pixmap)
            create_pixmap();
        draw_clock();
        if (exposed && !recreate_pixmap)
            show_whole_picture();
        recreate_pixmap = false;
        exposed = false;

        XFlush(display);
        // Xlib may have read events while it sent the drawing; they wait
        // in its own queue, where select cannot see them, and would leave
        // the window with a stale picture until the time-out.  XPending
        // finds them without blocking.  Interrupted or not, whatever has
        // arrived is then read and the clock is brought up to date.
        const timespec timeout = as_timespec(nanoseconds_to_next_tick(interval));
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection, &readable);
        if (XPending(display) == 0 &&
            pselect(connection + 1, &readable, nullptr, nullptr, &timeout, nullptr) == 0)
            continue;
        handle_events();
    }

    free_surface();
    XCloseDisplay(display);
    return 0;
}
