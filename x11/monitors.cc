#include "monitors.h"

#include "display.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

bool have_randr = false;
bool have_monitors = false;  // RandR 1.5 or later
int randr_event_base = 0;

// Asked of the server first: the extension libraries keep a record for
// the display even when the server lacks the extension, and never free
// it.
bool server_has(const char *extension) {
    int opcode = 0;
    int event_base = 0;
    int error_base = 0;
    return XQueryExtension(display, extension, &opcode, &event_base, &error_base) != 0;
}

void add_monitor(std::vector<Box> &monitors, Box box) {
    if (box.width <= 0 || box.height <= 0)
        return;
    for (const Box &known : monitors)
        if (known.x == box.x && known.y == box.y && known.width == box.width &&
            known.height == box.height)
            return;
    monitors.push_back(box);
}

}  // namespace

void watch_monitors() {
    int error_base = 0;
    int major = 0;
    int minor = 0;
    have_randr = server_has("RANDR") &&
                 XRRQueryExtension(display, &randr_event_base, &error_base) != 0 &&
                 XRRQueryVersion(display, &major, &minor) != 0;
    have_monitors = have_randr && (major > 1 || (major == 1 && minor >= 5));
    if (have_randr)
        XRRSelectInput(display, root_window,
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask |
                           RROutputChangeNotifyMask);
}

bool monitors_event(XEvent &event) {
    if (!have_randr)
        return false;
    if (event.type == randr_event_base + RRScreenChangeNotify) {
        XRRUpdateConfiguration(&event);
        return true;
    }
    return event.type == randr_event_base + RRNotify;
}

void read_monitors(int root_width, int root_height, std::vector<Box> &monitors) {
    monitors.clear();
    if (have_monitors) {
        int count = 0;
        XRRMonitorInfo *found = XRRGetMonitors(display, root_window, True, &count);
        for (int i = 0; i < count; i++)
            add_monitor(monitors, Box{found[i].x, found[i].y, found[i].width, found[i].height});
        if (found != nullptr)
            XRRFreeMonitors(found);
    }
    int event_base = 0;
    int error_base = 0;
    if (monitors.empty() && server_has("XINERAMA") &&
        XineramaQueryExtension(display, &event_base, &error_base) && XineramaIsActive(display)) {
        int count = 0;
        XineramaScreenInfo *screens = XineramaQueryScreens(display, &count);
        for (int i = 0; i < count; i++)
            add_monitor(monitors, Box{screens[i].x_org, screens[i].y_org, screens[i].width,
                                      screens[i].height});
        if (screens != nullptr)
            XFree(screens);
    }
    if (monitors.empty())
        monitors.push_back(Box{0, 0, root_width, root_height});
}
