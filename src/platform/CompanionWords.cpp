#include "platform/CompanionWords.h"

#include <cstdlib>

#include "platform/DriveMapping.h"

namespace vollum {

const CompanionWords& Words() {
#ifdef _WIN32
    static const CompanionWords words = {
        "Enter SUBST.EXE Path and Filename:",
        "Subst Drive:",
        "Start automatically with Windows",
        "You must unclick \"Start with Windows\" Before Changing Drive!",
        "You must unclick \"Start automatically with Windows\" Before Changing Drive!",
        " Substed as ",
        "Status: Drive not substed anymore",
        "Status:  Drive not substed",
        "Drive may not be substed, Try it anyway?",
        "Can't subst a Harddisk drive",
    };
#else
    static const CompanionWords words = {
        "Drive tool:",
        "Drive:",
        "Start automatically at login",
        "You must unclick \"Start automatically at login\" Before Changing Drive!",
        "You must unclick \"Start automatically at login\" Before Changing Drive!",
        " mapped as ",
        "Status: Drive not mapped anymore",
        "Status:  Drive not mapped",
        "Drive may not be mapped, Try it anyway?",
        "Can't map a drive that is in use",
    };
#endif
    return words;
}

std::string DriveShownAs(char letter) {
#ifdef _WIN32
    return std::string(1, letter) + ":";
#else
    std::string folder = DrivesFolder() + "/" + letter;
    const char* home = std::getenv("HOME");
    const std::string h = home ? home : "";
    if (h.size() > 1 && folder.rfind(h + "/", 0) == 0) folder = "~" + folder.substr(h.size());
    return folder;
#endif
}

}  // namespace vollum
