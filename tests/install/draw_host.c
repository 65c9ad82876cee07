/* A host program of the installed Quadface library, as another project
 * would write one: it defines the two primitives on a canvas of pens and
 * writes the picture as a PPM with quadrix-image's default colours.
 *   myclock HOUR MINUTE SECOND WIDTH HEIGHT > clock.ppm
 * It compiles as C and as C++. */
#include <quadface.h>

#include <stdio.h>
#include <stdlib.h>

static unsigned char *canvas;
static int canvas_width;
static int canvas_height;
static int pen;

void face_set_pen(int new_pen) {
    pen = new_pen;
}

void face_fill(int x0, int y0, int x1, int y1) {
    int x, y;
    for (y = y0; y <= y1; y++)
        for (x = x0; x <= x1; x++)
            /* Rows are kept from the top; face rows count from the bottom. */
            canvas[(size_t)(canvas_height - 1 - y) * (size_t)canvas_width + (size_t)x] =
                (unsigned char)pen;
}

int main(int argc, char **argv) {
    static const unsigned char rgb[5][3] = {
        {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
    };
    size_t i;
    if (argc != 6) {
        fprintf(stderr, "usage: %s HOUR MINUTE SECOND WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    canvas_width = atoi(argv[4]);
    canvas_height = atoi(argv[5]);
    canvas = (unsigned char *)malloc((size_t)canvas_width * (size_t)canvas_height);
    if (canvas == NULL)
        return 1;
    face_draw(atoi(argv[1]), atoi(argv[2]), atoi(argv[3]), canvas_width, canvas_height,
              -1);
    printf("P6\n%d %d\n255\n", canvas_width, canvas_height);
    for (i = 0; i < (size_t)canvas_width * (size_t)canvas_height; i++)
        fwrite(rgb[canvas[i]], 1, 3, stdout);
    free(canvas);
    return fclose(stdout) == 0 ? 0 : 1;
}
