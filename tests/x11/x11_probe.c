/*
 * What the tests of quadrix-x ask the X server, as another client would:
 *
 *   x11_probe find NAME SECONDS      waits for a window called NAME anywhere
 *                                    in the tree; prints its id
 *   x11_probe info WINDOW            prints the window's place, state and the
 *                                    window-manager properties, raw
 *   x11_probe send WINDOW TYPE DATA [move]
 *                                    sends the window's owner a ClientMessage
 *                                    of type TYPE whose first word is the atom
 *                                    DATA; "move" moves the window first, in
 *                                    the same flush
 *   x11_probe scribble WINDOW PIXEL  fills the window with one pixel value
 *   x11_probe expose WINDOW          clears the window to its background and
 *                                    sends its owner an Expose for all of it
 *   x11_probe damage WINDOW SECONDS  watches the window with the DAMAGE
 *                                    extension: says "ready", then prints
 *                                    "TIME X Y WIDTH HEIGHT" for each raw
 *                                    rectangle painted, TIME the wall clock's
 *                                    seconds when it was reported
 *   x11_probe wait-wm SECONDS        waits until a window manager runs
 *   x11_probe properties WINDOW NAME...
 *                                    prints each property as NAME TYPE FORMAT
 *                                    and its items: bytes in hex for format 8,
 *                                    numbers for 32; "NAME None 0" when unset
 *   x11_probe map-request SECONDS NAME...
 *                                    takes the place of a window manager: says
 *                                    "ready", waits for the first request to
 *                                    map a window, then prints "window ID"
 *                                    and the window's properties as they are
 *                                    at that moment; the window stays unmapped
 *   x11_probe pixmap ID              prints the pixmap's width, height and
 *                                    depth; fails when it does not exist
 *   x11_probe retain NAME...         acts as an earlier wallpaper setter: a
 *                                    4 x 4 pixmap, named in each root
 *                                    property NAME, kept in the server after
 *                                    the probe ends; prints its id
 *   x11_probe name-pixmap NAME ID    sets the root property NAME to the
 *                                    pixmap ID, which need not exist
 *
 * WINDOW may be "root", the root window of the default screen.
 * Exit status 0 on success, 1 on failure or time-out.
 */
#define _POSIX_C_SOURCE 200809L

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <stdio.h>
#include <sys/select.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display *display;
static int last_error;

/* Windows come and go while the tree is read; a failed request is noted
 * and the caller looks at last_error. */
static int note_error(Display *on, XErrorEvent *error) {
    (void)on;
    last_error = error->error_code;
    return 0;
}

static void pause_briefly(void) {
    struct timespec pause = {0, 50 * 1000 * 1000};
    nanosleep(&pause, NULL);
}

static double now_seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static Window parse_window(const char *text) {
    if (strcmp(text, "root") == 0)
        return DefaultRootWindow(display);
    return (Window)strtoul(text, NULL, 0);
}

static int has_name(Window window, const char *name) {
    char *found = NULL;
    int same = 0;
    if (XFetchName(display, window, &found) && found != NULL) {
        same = strcmp(found, name) == 0;
        XFree(found);
    }
    return same;
}

static Window search(Window top, const char *name) {
    if (has_name(top, name))
        return top;
    Window root;
    Window parent;
    Window *children = NULL;
    unsigned int count = 0;
    if (!XQueryTree(display, top, &root, &parent, &children, &count))
        return None;
    Window found = None;
    for (unsigned int i = 0; i < count && found == None; i++)
        found = search(children[i], name);
    if (children != NULL)
        XFree(children);
    return found;
}

static int find(const char *name, double seconds) {
    const double end = now_seconds() + seconds;
    for (;;) {
        Window found = search(DefaultRootWindow(display), name);
        if (found != None) {
            printf("%lu\n", found);
            return 0;
        }
        if (now_seconds() > end)
            return 1;
        pause_briefly();
    }
}

/* The items of a property in the given format (8 or 32), or NULL; the
 * caller frees what it gets with XFree. */
static unsigned char *fetch_property(Window window, Atom property, long length, Atom type,
                                     int wanted_format, unsigned long *count) {
    Atom actual_type;
    int format;
    unsigned long after;
    unsigned char *data = NULL;
    if (XGetWindowProperty(display, window, property, 0, length, False, type, &actual_type,
                           &format, count, &after, &data) != Success)
        return NULL;
    if (data != NULL && format != wanted_format) {
        XFree(data);
        return NULL;
    }
    return data;
}

/* A property of 32-bit items, printed as signed numbers. */
static void print_cardinals(Window window, const char *label, Atom property, long length) {
    unsigned long count = 0;
    unsigned char *data = fetch_property(window, property, length, AnyPropertyType, 32, &count);
    printf("%s", label);
    if (data != NULL) {
        const long *items = (const long *)data;
        for (unsigned long i = 0; i < count; i++)
            printf(" %ld", items[i]);
        XFree(data);
    }
    printf("\n");
}

static void print_strings(Window window, const char *label, Atom property) {
    unsigned long count = 0;
    unsigned char *data = fetch_property(window, property, 1024, AnyPropertyType, 8, &count);
    printf("%s", label);
    if (data != NULL) {
        /* The strings of the property, each ended by a NUL or the end. */
        unsigned long start = 0;
        for (unsigned long i = 0; i <= count; i++)
            if (i == count || data[i] == '\0') {
                if (i > start || i < count)
                    printf(" [%.*s]", (int)(i - start), (const char *)data + start);
                start = i + 1;
            }
        XFree(data);
    }
    printf("\n");
}

static void print_atoms(Window window, const char *label, Atom property) {
    unsigned long count = 0;
    unsigned char *data = fetch_property(window, property, 64, XA_ATOM, 32, &count);
    printf("%s", label);
    if (data != NULL) {
        const Atom *atoms = (const Atom *)data;
        for (unsigned long i = 0; i < count; i++) {
            char *atom_name = XGetAtomName(display, atoms[i]);
            printf(" %s", atom_name != NULL ? atom_name : "?");
            if (atom_name != NULL)
                XFree(atom_name);
        }
        XFree(data);
    }
    printf("\n");
}

static int info(Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 1;
    Window root;
    Window parent;
    Window *children = NULL;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 1;
    int root_x = 0;
    int root_y = 0;
    Window ignored;
    XTranslateCoordinates(display, window, root, 0, 0, &root_x, &root_y, &ignored);

    printf("window %lu\n", window);
    printf("parent %lu\n", parent);
    printf("root %lu\n", root);
    printf("geometry %d %d %d %d\n", attributes.x, attributes.y, attributes.width,
           attributes.height);
    printf("border_width %d\n", attributes.border_width);
    printf("root_position %d %d\n", root_x, root_y);
    printf("map_state %d\n", attributes.map_state);
    printf("depth %d\n", attributes.depth);
    printf("visual_class %d\n", attributes.visual->class);
    printf("default_visual %d\n",
           attributes.visual == DefaultVisualOfScreen(attributes.screen) ? 1 : 0);
    printf("default_colormap %d\n",
           attributes.colormap == DefaultColormapOfScreen(attributes.screen) ? 1 : 0);
    printf("screen_size %d %d\n", WidthOfScreen(attributes.screen),
           HeightOfScreen(attributes.screen));
    printf("children");
    for (unsigned int i = 0; i < count; i++)
        printf(" %lu", children[i]);
    printf("\n");
    if (children != NULL)
        XFree(children);

    print_cardinals(window, "normal_hints", XA_WM_NORMAL_HINTS, 18);
    print_cardinals(window, "wm_hints", XA_WM_HINTS, 9);
    print_strings(window, "wm_class", XA_WM_CLASS);
    print_strings(window, "wm_name", XA_WM_NAME);
    print_atoms(window, "wm_protocols", XInternAtom(display, "WM_PROTOCOLS", False));
    print_cardinals(window, "wm_state", XInternAtom(display, "WM_STATE", False), 2);
    XSync(display, False);
    return last_error == 0 ? 0 : 1;
}

static int send(Window window, const char *type, const char *data, int move) {
    if (move) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes))
            return 1;
        XMoveWindow(display, window, attributes.x + 3, attributes.y + 2);
    }
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, data, False);
    event.xclient.data.l[1] = CurrentTime;
    /* With no event mask the event goes to the client that made the window. */
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return last_error == 0 ? 0 : 1;
}

static int scribble(Window window, unsigned long pixel) {
    XGCValues values;
    values.foreground = pixel;
    GC gc = XCreateGC(display, window, GCForeground, &values);
    XFillRectangle(display, window, gc, 0, 0, 4096, 4096);
    XFreeGC(display, gc);
    XSync(display, False);
    return last_error == 0 ? 0 : 1;
}

static int expose(Window window) {
    XClearArea(display, window, 0, 0, 0, 0, True);
    XSync(display, False);
    return last_error == 0 ? 0 : 1;
}

static double wall_seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

/* Every rectangle the server reports as painted in the window, as it comes:
 * raw rectangles are not merged with earlier ones. */
static int damage(Window window, double seconds) {
    int event_base = 0;
    int error_base = 0;
    if (!XDamageQueryExtension(display, &event_base, &error_base)) {
        fprintf(stderr, "x11_probe: no DAMAGE extension\n");
        return 1;
    }
    XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);
    if (last_error != 0)
        return 1;
    /* A new damage object reports the whole window at once; that is not a
     * painting. */
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
    printf("ready\n");
    fflush(stdout);
    const double end = now_seconds() + seconds;
    const int connection = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == event_base + XDamageNotify) {
                const XDamageNotifyEvent *notice = (const XDamageNotifyEvent *)&event;
                printf("%.6f %d %d %d %d\n", wall_seconds(), notice->area.x, notice->area.y,
                       notice->area.width, notice->area.height);
            }
        }
        fflush(stdout);
        const double left = end - now_seconds();
        if (left <= 0)
            return 0;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection, &readable);
        struct timeval timeout = {(time_t)left, (suseconds_t)((left - (time_t)left) * 1e6)};
        select(connection + 1, &readable, NULL, NULL, &timeout);
    }
}

/* Only one client may redirect the root's children: while a window manager
 * runs, asking for it fails. */
static int wait_wm(double seconds) {
    const double end = now_seconds() + seconds;
    for (;;) {
        last_error = 0;
        XSelectInput(display, DefaultRootWindow(display), SubstructureRedirectMask);
        XSync(display, False);
        if (last_error == BadAccess)
            return 0;
        XSelectInput(display, DefaultRootWindow(display), NoEventMask);
        XSync(display, False);
        if (now_seconds() > end)
            return 1;
        pause_briefly();
    }
}

/* A property as it is stored, whatever its type. */
static void print_raw_property(Window window, const char *name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = NULL;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 20, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) != Success)
        type = None;
    char *type_name = type != None ? XGetAtomName(display, type) : NULL;
    printf("%s %s %d", name, type_name != NULL ? type_name : "None", type != None ? format : 0);
    if (type_name != NULL)
        XFree(type_name);
    if (type != None && format == 8) {
        printf(" ");
        for (unsigned long i = 0; i < count; i++)
            printf("%02x", data[i]);
    } else if (type != None && format == 32) {
        for (unsigned long i = 0; i < count; i++)
            printf(" %lu", ((const unsigned long *)data)[i]);
    } else if (type != None && format == 16) {
        for (unsigned long i = 0; i < count; i++)
            printf(" %u", ((const unsigned short *)data)[i]);
    }
    printf("\n");
    if (data != NULL)
        XFree(data);
}

static int properties(Window window, int count, char **names) {
    for (int i = 0; i < count; i++)
        print_raw_property(window, names[i]);
    XSync(display, False);
    return last_error == 0 ? 0 : 1;
}

/* The server holds a redirected map request until the redirecting client
 * acts on it, so what is read here is what a window manager would find. */
static int map_request(double seconds, int count, char **names) {
    last_error = 0;
    XSelectInput(display, DefaultRootWindow(display), SubstructureRedirectMask);
    XSync(display, False);
    if (last_error != 0) {
        fprintf(stderr, "x11_probe: another window manager runs\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    const double end = now_seconds() + seconds;
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapRequest) {
                printf("window %lu\n", event.xmaprequest.window);
                return properties(event.xmaprequest.window, count, names);
            }
        }
        if (now_seconds() > end)
            return 1;
        pause_briefly();
    }
}

static int pixmap_size(Pixmap pixmap) {
    Window root;
    int x, y;
    unsigned int width, height, border, depth;
    if (!XGetGeometry(display, pixmap, &root, &x, &y, &width, &height, &border, &depth))
        return 1;
    XSync(display, False);
    if (last_error != 0)
        return 1;
    printf("%u %u %u\n", width, height, depth);
    return 0;
}

static void name_pixmap(const char *name, Pixmap pixmap) {
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False),
                    XA_PIXMAP, 32, PropModeReplace, (const unsigned char *)&pixmap, 1);
}

static int retain(int count, char **names) {
    const Pixmap pixmap = XCreatePixmap(display, DefaultRootWindow(display), 4, 4,
                                        (unsigned)DefaultDepth(display, DefaultScreen(display)));
    for (int i = 0; i < count; i++)
        name_pixmap(names[i], pixmap);
    XSetCloseDownMode(display, RetainPermanent);
    XSync(display, False);
    printf("%lu\n", pixmap);
    return last_error == 0 ? 0 : 1;
}

static int usage(void) {
    fputs("usage: x11_probe find NAME SECONDS | info WINDOW | send WINDOW TYPE DATA [move]"
          " | scribble WINDOW PIXEL | expose WINDOW | damage WINDOW SECONDS"
          " | wait-wm SECONDS | properties WINDOW NAME..."
          " | map-request SECONDS NAME... | pixmap ID | retain NAME... | name-pixmap NAME ID\n",
          stderr);
    return 1;
}

int main(int argc, char **argv) {
    if (argc < 3)
        return usage();
    display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "x11_probe: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(note_error);
    const char *command = argv[1];
    int status;
    if (strcmp(command, "find") == 0 && argc == 4)
        status = find(argv[2], atof(argv[3]));
    else if (strcmp(command, "info") == 0 && argc == 3)
        status = info(parse_window(argv[2]));
    else if (strcmp(command, "send") == 0 && (argc == 5 || argc == 6))
        status = send(parse_window(argv[2]), argv[3], argv[4],
                      argc == 6 && strcmp(argv[5], "move") == 0);
    else if (strcmp(command, "scribble") == 0 && argc == 4)
        status = scribble(parse_window(argv[2]), strtoul(argv[3], NULL, 0));
    else if (strcmp(command, "expose") == 0 && argc == 3)
        status = expose(parse_window(argv[2]));
    else if (strcmp(command, "damage") == 0 && argc == 4)
        status = damage(parse_window(argv[2]), atof(argv[3]));
    else if (strcmp(command, "wait-wm") == 0 && argc == 3)
        status = wait_wm(atof(argv[2]));
    else if (strcmp(command, "properties") == 0 && argc >= 4)
        status = properties(parse_window(argv[2]), argc - 3, argv + 3);
    else if (strcmp(command, "map-request") == 0 && argc >= 3)
        status = map_request(atof(argv[2]), argc - 3, argv + 3);
    else if (strcmp(command, "pixmap") == 0 && argc == 3)
        status = pixmap_size((Pixmap)strtoul(argv[2], NULL, 0));
    else if (strcmp(command, "retain") == 0)
        status = retain(argc - 2, argv + 2);
    else if (strcmp(command, "name-pixmap") == 0 && argc == 4) {
        name_pixmap(argv[2], (Pixmap)strtoul(argv[3], NULL, 0));
        XSync(display, False);
        status = last_error == 0 ? 0 : 1;
    } else
        status = usage();
    XCloseDisplay(display);
    return status;
}
