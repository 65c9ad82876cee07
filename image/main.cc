// quadrix-image: draws the clock once and writes it as one image file.

#include "run.h"

int main(int argc, char **argv) {
    run_image(argc, argv);
    return 0;
}
