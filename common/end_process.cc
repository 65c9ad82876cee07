#include "host.h"

#include <cstdlib>

void end_process(int status) { std::exit(status); }
