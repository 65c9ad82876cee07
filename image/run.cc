#include "run.h"

#include "canvas.h"
#include "host.h"
#include "options.h"
#include "output.h"
#include "quadface.h"
#include "writers.h"

void run_image(int argc, char **argv) {
    take_memory_reserve();
    set_program_name(argc > 0 ? argv[0] : nullptr);
    start_options(argc, argv);
    parse_options();
    alloc_canvas();

    int hour;
    int minute;
    int second;
    time_to_show(hour, minute, second);
    shown_hour = hour;
    shown_minute = minute;
    shown_second = second;

    // Drawn before the output is opened: a run that fails never creates or
    // truncates the output file.
    face_draw(hour, minute, second, image_width, image_height, image_border);

    open_output();
    write_image();
    close_output();
}
