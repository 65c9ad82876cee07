#include "icon.h"

#include "display.h"
#include "face_fills.h"
#include "surface.h"

#include <X11/Xatom.h>

#include <cstdint>
#include <vector>

namespace {

// The sizes a taskbar and a window switcher pick from; each with the
// border the library chooses for it.
constexpr int ICON_SIZES[] = {32, 48, 64};
constexpr int ICON_COUNT = sizeof ICON_SIZES / sizeof ICON_SIZES[0];

Atom net_wm_icon = None;
std::uint32_t argb[5];  // opaque, by pen
FaceFills icons[ICON_COUNT];
std::vector<std::uint32_t> pixels_of_icon;
std::vector<Box> differences;
// The property: for each icon its width, its height and its pixels, each
// a CARDINAL, which Xlib takes as a long.
std::vector<long> property;

}  // namespace

void init_icons() {
    net_wm_icon = XInternAtom(display, "_NET_WM_ICON", False);
    XColor colours[5];
    for (int pen = 0; pen < 5; pen++)
        colours[pen].pixel = pixels[pen];
    XQueryColors(display, colormap, colours, 5);
    for (int pen = 0; pen < 5; pen++)
        argb[pen] = 0xff000000u | (colours[pen].red >> 8) << 16 | (colours[pen].green >> 8) << 8 |
                    colours[pen].blue >> 8;
}

void update_icons(int hour, int minute, int second) {
    bool changed = false;
    for (int i = 0; i < ICON_COUNT; i++) {
        FaceFills icon;
        record_face(icon, hour, minute, second, ICON_SIZES[i], ICON_SIZES[i], -1, 0, 0);
        changed_boxes(icons[i], icon, differences, argb);
        changed = changed || !differences.empty();
        icons[i] = icon;
    }
    if (!changed)
        return;
    property.clear();
    for (int i = 0; i < ICON_COUNT; i++) {
        const int size = ICON_SIZES[i];
        pixels_of_icon.assign(static_cast<std::size_t>(size * size), argb[0]);
        paint_fills(icons[i], argb, pixels_of_icon.data(), size, Box{0, 0, size, size});
        property.push_back(size);
        property.push_back(size);
        property.insert(property.end(), pixels_of_icon.begin(), pixels_of_icon.end());
    }
    XChangeProperty(display, main_window, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(property.data()),
                    static_cast<int>(property.size()));
}
