// wzx2bmp: converts WZX5 raw images named by a wildcard pattern into BMP
// files in the working directory.
#include <clocale>

#include "cli/abnormal_end.h"
#include "cli/driver.h"

int main(int argc, char* argv[]) {
    wzx::installOutOfMemoryHandler();
    // Names are split by character in the user's character set.
    std::setlocale(LC_CTYPE, "");
    return wzx::runDriver(argc, argv);
}
