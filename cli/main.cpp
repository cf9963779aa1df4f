// plexan-cli: see cli/plexancli.h.

#include "cli/pendingfile.h"
#include "cli/plexancli.h"
#include "numerics/parallel.h"

#include <iostream>
#include <locale>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // The worker threads start while the inputs are read.
    plexan::parallel::warmUp();
    std::locale::global(std::locale::classic());
    // Ctrl-C and kill leave no half-written output behind.
    PendingFile::removeOnInterrupt();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = runCli(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    std::cout.flush();
    return status;
}
