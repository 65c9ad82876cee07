/* A host written in C: it links the library, counts the calls of one
 * drawing and checks the order the library promises. */
#include "quadface.h"

#include <stdio.h>

static int pens_selected;
static int fills;
static int last_pen = -1;
static int order_ok = 1;

void face_set_pen(int pen) {
    if (pen != (last_pen < 0 ? PEN_BACKGROUND
                : last_pen == PEN_BACKGROUND ? PEN_SQUARE
                : last_pen == PEN_SQUARE ? PEN_INSIDE
                : last_pen == PEN_INSIDE ? PEN_HOUR : PEN_MINUTE))
        order_ok = 0;
    last_pen = pen;
    pens_selected++;
}

void face_fill(int x0, int y0, int x1, int y1) {
    (void)x0; (void)y0; (void)x1; (void)y1;
    fills++;
}

int main(void) {
    face_draw(3, 0, 0, 64, 64, -1);
    if (!order_ok || pens_selected != 5 || fills != 10) {
        fprintf(stderr, "unexpected calls: %d pens, %d fills\n", pens_selected, fills);
        return 1;
    }
    puts("1 passed, 0 failed");
    return 0;
}
