// Maps a drive name onto a directory for SpoolBay: "vollum-subst F: DIR" maps,
// "vollum-subst F: /D" releases, no arguments lists. Exit status 0 only on success.
#include <iostream>
#include <string>
#include <vector>

#include "platform/DriveMapping.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return vollum::RunSubstTool(args, std::cout, std::cerr);
}
