// The check that keeps CR, LF and NUL out of command lines (and entry names
// out of commands), and the printable form shown instead.
#include <string>

#include "FuzzCheck.h"
#include "ftp/ControlChannel.h"

using vollum::ControlChannel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool model = true;
    for (char c : text) model = model && c != '\r' && c != '\n' && c != '\0';
    FUZZ_CHECK(ControlChannel::CommandSafe(text) == model);
    const std::string shown = ControlChannel::Printable(text);
    FUZZ_CHECK(ControlChannel::CommandSafe(shown));
    FUZZ_CHECK((shown == text) == model);
    FUZZ_CHECK(ControlChannel::CommandSafe(text + "x") == model);
    return 0;
}
