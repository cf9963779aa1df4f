#pragma once
// plexan-cli, the batch tool: every measurement and export of the windows
// for scripts. runCli runs one command line (the arguments after the
// program's name), writing results to out and messages to err, and returns
// the exit status: 0 on success, 1 when the work failed (a missing or
// unreadable file, a library error, a stack read with fatal errors), 2 for a
// command line it cannot run (an unknown command or option, a missing or
// malformed argument, a name the input does not hold). A failure is one line
// on err. With progress, long computations draw a progress bar on err.

#include <iosfwd>
#include <string>
#include <vector>

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress = false);
