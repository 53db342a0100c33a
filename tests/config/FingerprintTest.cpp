#include <gtest/gtest.h>

#include "config/Fingerprint.h"

namespace vollum {
namespace {

const std::string kHex = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

TEST(Fingerprint, OnlyA256BitHexValueNormalises) {
    const std::string withColons = FingerprintText(kHex);
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {kHex, true},
        {withColons, true},
        {"sha256 Fingerprint=" + withColons, true},  // openssl's whole line pasted
        {"SHA256 Fingerprint=" + kHex, true},
        {" " + withColons.substr(0, 20) + " \t" + withColons.substr(20) + " ", true},
        {"", false},
        {kHex.substr(1), false},
        {kHex + "0", false},
        {kHex.substr(0, 40), false},  // a SHA-1 fingerprint
        {kHex.substr(1) + "g", false},
        {kHex.substr(1) + "-", false},
        {"sha1 Fingerprint=" + kHex, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormalizedFingerprint(c.text), c.valid ? std::optional(kHex) : std::nullopt) << c.text;
    }
    // Shown as openssl prints it, and read back to the same digits.
    EXPECT_EQ(withColons.substr(0, 12), "01:23:45:67:");
    EXPECT_EQ(withColons.size(), 95u);
    EXPECT_EQ(NormalizedFingerprint(FingerprintText("ABCDEF" + kHex.substr(6))), "abcdef" + kHex.substr(6));
}

}  // namespace
}  // namespace vollum
