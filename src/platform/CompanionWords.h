#pragma once
// SpoolBay's texts that name a concept of the system it runs on (the drive
// substitution tool, start with Windows): the Windows words on Windows, the
// Linux ones elsewhere, each keeping the meaning.
#include <string>

namespace vollum {

struct CompanionWords {
    const char* ToolLabel;         // the mapping tool's field
    const char* DriveLabel;        // the drive's field
    const char* StartAtLogin;      // the check box
    const char* UnclickOnChange;   // the drive typed while the box is checked
    const char* UnclickOnClick;    // the drive clicked while the box is checked
    const char* MappedAs;          // "Status: Directory D" + this + the drive
    const char* NotMappedAnymore;  // Stop released the drive
    const char* NotMapped;         // Stop without a mapping
    const char* MayNotBeMapped;    // Stop's question without a mapping
    const char* DriveInUse;        // Start finds the drive taken
};

const CompanionWords& Words();

// The drive as a user finds it: "F:" on Windows; on Linux its folder with
// the home folder written "~" ("~/Drives/F").
std::string DriveShownAs(char letter);

}  // namespace vollum
