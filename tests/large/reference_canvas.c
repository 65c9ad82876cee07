/*
 * A plain host for the face: one byte a pixel in a single block, every fill
 * a loop over its rectangle.  Prints the pens of the picture, the top row
 * first, one byte a pixel and no padding, for the large-picture test to
 * encode on its own.
 *
 *   reference_canvas WIDTH HEIGHT BORDER HOUR MINUTE SECOND
 */
#include "quadface.h"

#include <stdio.h>
#include <stdlib.h>

static unsigned char *pens;
static int width;
static int height;
static int pen;

void face_set_pen(int p) { pen = p; }

void face_fill(int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            pens[(size_t)(height - 1 - y) * (size_t)width + (size_t)x] = (unsigned char)pen;
}

int main(int argc, char **argv) {
    if (argc != 7) {
        fputs("usage: reference_canvas WIDTH HEIGHT BORDER HOUR MINUTE SECOND\n", stderr);
        return 2;
    }
    width = atoi(argv[1]);
    height = atoi(argv[2]);
    const size_t size = (size_t)width * (size_t)height;
    pens = malloc(size);
    if (pens == NULL) {
        fputs("reference_canvas: out of memory\n", stderr);
        return 1;
    }
    face_draw(atoi(argv[4]), atoi(argv[5]), atoi(argv[6]), width, height, atoi(argv[3]));
    if (fwrite(pens, 1, size, stdout) != size || fflush(stdout) != 0)
        return 1;
    free(pens);
    return 0;
}
