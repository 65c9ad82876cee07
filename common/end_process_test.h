// In the test binaries the end of the process unwinds back into the test:
// end_process throws this, and the test reads the status it carries.
#pragma once

struct ProcessEnd {
    int status;
};
