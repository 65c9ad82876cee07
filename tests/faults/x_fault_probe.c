/*
 * What the fault tests ask of the X server, as another client:
 *
 *   x_fault_probe resources WINDOW
 *       what the server holds for the client that owns the window, as the
 *       X-Resource extension reports it: one line per resource type,
 *       "NAME COUNT" (PIXMAP, GC, WINDOW, ...), then "pixmap_bytes BYTES"
 *   x_fault_probe scribble WINDOW
 *       paints the whole window red, behind its owner's back: no event
 *       tells the owner, only its own redraw brings the picture back
 *
 * Exit status 1 when the extension is missing, no client owns the window,
 * or the arguments are wrong.
 */
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int scribble(Display *display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return 1;
    XColor red;
    red.red = 65535;
    red.green = red.blue = 0;
    red.flags = DoRed | DoGreen | DoBlue;
    if (!XAllocColor(display, attributes.colormap, &red))
        return 1;
    GC gc = XCreateGC(display, window, 0, NULL);
    XSetForeground(display, gc, red.pixel);
    XFillRectangle(display, window, gc, 0, 0, (unsigned)attributes.width,
                   (unsigned)attributes.height);
    XFreeGC(display, gc);
    XSync(display, False);
    return 0;
}

static int resources(Display *display, XID window) {
    int event_base, error_base;
    if (!XResQueryExtension(display, &event_base, &error_base)) {
        fprintf(stderr, "x_fault_probe: no X-Resource extension\n");
        return 1;
    }

    int count = 0;
    XResClient *clients = NULL;
    XResQueryClients(display, &count, &clients);
    XID base = 0;
    for (int i = 0; i < count; i++)
        if ((window & ~clients[i].resource_mask) == clients[i].resource_base)
            base = clients[i].resource_base;
    XFree(clients);
    if (base == 0) {
        fprintf(stderr, "x_fault_probe: no client owns 0x%lx\n", (unsigned long)window);
        return 1;
    }

    int types = 0;
    XResType *resources = NULL;
    XResQueryClientResources(display, base, &types, &resources);
    for (int i = 0; i < types; i++) {
        char *name = XGetAtomName(display, resources[i].resource_type);
        printf("%s %u\n", name != NULL ? name : "?", resources[i].count);
        XFree(name);
    }
    XFree(resources);

    unsigned long bytes = 0;
    XResQueryClientPixmapBytes(display, base, &bytes);
    printf("pixmap_bytes %lu\n", bytes);
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: x_fault_probe resources|scribble WINDOW\n");
        return 1;
    }
    const XID window = (XID)strtoul(argv[2], NULL, 0);
    Display *display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "x_fault_probe: no display\n");
        return 1;
    }
    int status = 1;
    if (strcmp(argv[1], "resources") == 0)
        status = resources(display, window);
    else if (strcmp(argv[1], "scribble") == 0)
        status = scribble(display, (Window)window);
    else
        fprintf(stderr, "x_fault_probe: unknown command %s\n", argv[1]);
    XCloseDisplay(display);
    return status;
}
