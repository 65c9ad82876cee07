#include "display.h"

#include "host.h"
#include "icon.h"
#include "options.h"
#include "surface.h"
#include "ticks.h"
#include "utf8.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Display *display;
int screen_number;
Window root_window;
unsigned long black_pixel;
unsigned long white_pixel;
int screen_width;
int screen_height;
bool visual_found;
Visual *visual;
int depth;
Window main_window;
Window icon_window;
int width;
int height;
Atom wm_delete_window;

namespace {

// The size both windows are created with, after the limits; the drawing
// may be larger when the screen is smaller than the minimum size.
int window_width;
int window_height;

constexpr int DEFAULT_SIZE = 80;

// Looks for a visual of the given class on the screen.
bool find_visual(Display *on, int screen, int visual_class) {
    XVisualInfo wanted;
    std::memset(&wanted, 0, sizeof wanted);
    wanted.screen = screen;
    wanted.c_class = visual_class;
    int count = 0;
    XVisualInfo *list = XGetVisualInfo(on, VisualScreenMask | VisualClassMask, &wanted, &count);
    if (list == nullptr)
        return false;
    const bool found = count > 0;
    if (found) {
        visual = list[0].visual;
        depth = list[0].depth;
    }
    XFree(list);
    return found;
}

// Limits a size to the minimum, then to the screen: the screen wins.
long long limit_size(long long size, int screen_size) {
    if (size < minimum_size())
        size = minimum_size();
    if (size > screen_size)
        size = screen_size;
    return size;
}

// Moves a window back onto the screen along one axis.
long long limit_position(long long position, long long size, int screen_size) {
    if (position < 0)
        position = 0;
    if (position + size > screen_size)
        position = screen_size - size;
    return position;
}

void set_text_property(Atom property, Atom type, const char *text, std::size_t length) {
    XChangeProperty(display, main_window, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(text), static_cast<int>(length));
}

// WM_NAME and WM_ICON_NAME hold the text as STRING when it is Latin-1 and
// as COMPOUND_TEXT otherwise, which is what Xlib's conversion from UTF-8
// gives; it reads UTF-8 only in a UTF-8 locale, which the program takes for
// this call alone.
void set_old_names(const char *utf8) {
    char *saved = copy_string(std::setlocale(LC_CTYPE, nullptr));
    const bool utf8_locale = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    char *list[] = {const_cast<char *>(utf8)};
    XTextProperty property;
    const int status =
        Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property);
    if (utf8_locale)
        std::setlocale(LC_CTYPE, saved);
    std::free(saved);
    if (status < 0) {
        // No conversion at all: the text as it is.
        XStoreName(display, main_window, utf8);
        XSetIconName(display, main_window, utf8);
        return;
    }
    XSetWMName(display, main_window, &property);
    XSetWMIconName(display, main_window, &property);
    XFree(property.value);
}

// The title, for the window and for its icon, in the old form and as
// UTF-8.
void set_names(Atom net_wm_name, Atom net_wm_icon_name, Atom utf8_string) {
    const char *text = title != nullptr ? title : program_name;
    std::size_t length = 0;
    char *utf8 = utf8_copy(text, &length);
    set_old_names(utf8);
    set_text_property(net_wm_name, utf8_string, utf8, length);
    set_text_property(net_wm_icon_name, utf8_string, utf8, length);
    std::free(utf8);
}

// How to start the clock again and where it runs, for docks, session
// managers and the tools that match windows to processes: the command line
// as given, the host's name and the process id.
void set_client_properties(Atom net_wm_pid) {
    std::size_t length = 0;
    for (int i = 0; i < command_count; i++)
        length += std::strlen(command_words[i]) + 1;
    // Every word ends with a NUL, the last one too.
    char *command = static_cast<char *>(xmalloc(length + 1));
    std::size_t at = 0;
    for (int i = 0; i < command_count; i++) {
        const std::size_t size = std::strlen(command_words[i]) + 1;
        std::memcpy(command + at, command_words[i], size);
        at += size;
    }
    set_text_property(XA_WM_COMMAND, XA_STRING, command, length);
    std::free(command);

    utsname host;
    if (uname(&host) == 0)
        set_text_property(XA_WM_CLIENT_MACHINE, XA_STRING, host.nodename,
                          std::strlen(host.nodename));

    const long pid = getpid();
    XChangeProperty(display, main_window, net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pid), 1);
}

}  // namespace

void open_display() {
    // Xlib falls back on DISPLAY when no name, or an empty one, is given,
    // and names the display it tried in the same way.
    display = XOpenDisplay(display_name);
    if (display == nullptr) {
        std::fprintf(stderr, "\nCannot connect to X server [%s]\n\n", XDisplayName(display_name));
        end_process(1);
    }
    screen_number = DefaultScreen(display);
    root_window = RootWindow(display, screen_number);
    black_pixel = BlackPixel(display, screen_number);
    white_pixel = WhitePixel(display, screen_number);
    screen_width = DisplayWidth(display, screen_number);
    screen_height = DisplayHeight(display, screen_number);
}

void choose_visual(Display *on, int screen) {
    visual = DefaultVisual(on, screen);
    depth = DefaultDepth(on, screen);
    if (visual->c_class == PseudoColor || visual->c_class == TrueColor) {
        visual_found = true;
        return;
    }
    visual_found = find_visual(on, screen, PseudoColor) || find_visual(on, screen, TrueColor);
    if (!visual_found) {
        // Black and white in the screen's own visual.
        visual = DefaultVisual(on, screen);
        depth = DefaultDepth(on, screen);
    }
}

void create_windows() {
    int x = (screen_width - DEFAULT_SIZE) / 2;
    int y = (screen_height - DEFAULT_SIZE) / 2;
    unsigned int parsed_width = DEFAULT_SIZE;
    unsigned int parsed_height = DEFAULT_SIZE;
    long long left = x;
    long long top = y;
    if (geometry != nullptr) {
        const int mask = XParseGeometry(geometry, &x, &y, &parsed_width, &parsed_height);
        left = x;
        top = y;
        if (mask & XNegative)
            left += screen_width - static_cast<long long>(parsed_width);
        if (mask & YNegative)
            top += screen_height - static_cast<long long>(parsed_height);
    }
    const long long size_x = limit_size(parsed_width, screen_width);
    const long long size_y = limit_size(parsed_height, screen_height);
    left = limit_position(left, size_x, screen_width);
    top = limit_position(top, size_y, screen_height);

    window_width = static_cast<int>(size_x);
    window_height = static_cast<int>(size_y);
    width = at_least_minimum(window_width);
    height = at_least_minimum(window_height);

    XSetWindowAttributes attributes;
    std::memset(&attributes, 0, sizeof attributes);
    attributes.background_pixel = white_pixel;
    attributes.border_pixel = black_pixel;
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
    if (colormap != DefaultColormap(display, screen_number)) {
        // A visual other than the screen's: the windows take its depth and
        // colormap, so that the pixmap can be copied into them.
        attributes.colormap = colormap;
        mask |= CWColormap;
    }
    main_window = XCreateWindow(display, root_window, static_cast<int>(left), static_cast<int>(top),
                                window_width, window_height, 0, depth, InputOutput, visual, mask,
                                &attributes);
    icon_window = XCreateWindow(display, main_window, static_cast<int>(left), static_cast<int>(top),
                                window_width, window_height, 0, depth, InputOutput, visual, mask,
                                &attributes);
}

void set_size_hints() {
    XSizeHints hints;
    std::memset(&hints, 0, sizeof hints);
    hints.flags = USSize | PMinSize | PMaxSize | PBaseSize;
    if (geometry != nullptr) {
        // Given as typed: negative offsets stay as they are, and no limit
        // applies.
        unsigned int ignored_width = 0;
        unsigned int ignored_height = 0;
        const int mask = XParseGeometry(geometry, &hints.x, &hints.y, &ignored_width, &ignored_height);
        if ((mask & XValue) && (mask & YValue))
            hints.flags |= USPosition;
    }
    hints.width = window_width;
    hints.height = window_height;
    hints.min_width = minimum_size();
    hints.min_height = minimum_size();
    hints.max_width = screen_width;
    hints.max_height = screen_height;
    hints.base_width = window_width;
    hints.base_height = window_height;
    XSetWMNormalHints(display, main_window, &hints);
}

void set_wm_hints() {
    XWMHints hints;
    std::memset(&hints, 0, sizeof hints);
    hints.input = False;
    if (withdrawn) {
        hints.flags = StateHint | IconWindowHint | IconPositionHint | WindowGroupHint;
        hints.initial_state = WithdrawnState;
        hints.icon_window = icon_window;
        hints.icon_x = 0;
        hints.icon_y = 0;
        hints.window_group = main_window;
    } else {
        hints.flags = InputHint | StateHint;
        hints.initial_state = NormalState;
    }
    XSetWMHints(display, main_window, &hints);
}

void set_class_hint() {
    char *class_name = copy_string(program_name);
    class_name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(class_name[0])));
    XClassHint hint;
    hint.res_name = const_cast<char *>(instance_name != nullptr ? instance_name : program_name);
    hint.res_class = class_name;
    XSetClassHint(display, main_window, &hint);
    std::free(class_name);
}

char *copy_string(const char *text) {
    if (text == nullptr)
        text = "";
    const std::size_t length = std::strlen(text);
    char *copy = static_cast<char *>(xmalloc(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

void init_window() {
    choose_visual(display, screen_number);
    if (visual_found && !choose_colormap()) {
        visual_found = false;
        visual = DefaultVisual(display, screen_number);
        depth = DefaultDepth(display, screen_number);
    }
    if (!visual_found)
        colormap = DefaultColormap(display, screen_number);
    create_windows();

    wm_delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, main_window, &wm_delete_window, 1);
    set_size_hints();
    set_wm_hints();
    set_class_hint();

    // One round trip for the atoms the names and the process need.
    char *atom_names[] = {const_cast<char *>("_NET_WM_NAME"),
                          const_cast<char *>("_NET_WM_ICON_NAME"),
                          const_cast<char *>("UTF8_STRING"), const_cast<char *>("_NET_WM_PID")};
    Atom atoms[4];
    XInternAtoms(display, atom_names, 4, False, atoms);
    set_names(atoms[0], atoms[1], atoms[2]);
    set_client_properties(atoms[3]);

    // The colours come before the mapping, for the taskbar icons, which a
    // window manager reads with the rest when it maps the window.
    create_window_gc();
    alloc_colours();
    init_icons();
    int hour;
    int minute;
    int second;
    read_local_time(hour, minute, second);
    update_icons(hour, minute, second);
    XMapWindow(display, main_window);
}
