// The fingerprint normaliser: what it accepts is 64 lowercase hex digits, and
// the text we show for it (with or without openssl's lead-in) reads back the same.
#include "config/Fingerprint.h"

#include <string>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto hex = vollum::NormalizedFingerprint(text);
    if (!hex) return 0;
    FUZZ_CHECK(hex->size() == 64);
    for (char c : *hex) FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    FUZZ_CHECK(vollum::NormalizedFingerprint(*hex) == hex);
    const std::string shown = vollum::FingerprintText(*hex);
    FUZZ_CHECK(vollum::NormalizedFingerprint(shown) == hex);
    FUZZ_CHECK(vollum::NormalizedFingerprint("sha256 Fingerprint=" + shown) == hex);
    return 0;
}
