#pragma once
// SHA-256 certificate fingerprints as users write them and as we show them.
#include <optional>
#include <string>

namespace vollum {

// The 64 lowercase hex digits of a SHA-256 fingerprint, or nullopt when the
// text is not one. Colons, blanks and case are ignored, and so is the
// "sha256 Fingerprint=" lead-in of openssl's output, so a pasted line works.
std::optional<std::string> NormalizedFingerprint(const std::string& text);

// Hex digits as openssl prints them: upper case, a colon between each pair.
std::string FingerprintText(const std::string& hex64);

}  // namespace vollum
