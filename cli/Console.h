#pragma once

// What the tool needs of its process that differs between the platforms.

#include <cstdio>
#include <string>
#include <vector>

namespace entorra::cli {

// The command line in UTF-8, as every path is inside the program. On Windows the wide
// command line is converted, since argv holds the ANSI code page's approximation of
// names outside it.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Whether the stream is a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// On Windows the console shows UTF-8 output as such, and stdout and stderr carry bytes
// unchanged, as they do elsewhere.
void PrepareConsole();

}  // namespace entorra::cli
