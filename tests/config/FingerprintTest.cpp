#include <gtest/gtest.h>

#include "config/Fingerprint.h"

namespace vollum {
namespace {

TEST(Fingerprint, OnlyA256BitHexValueNormalises) {
    const std::string hex = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    const std::string shown = FingerprintText(hex);  // "01:23:...:EF", as openssl prints it
    for (const auto& [text, valid] : std::vector<std::pair<std::string, bool>>{
             {hex, true},
             {shown, true},
             {"sha256 Fingerprint=" + shown, true},  // openssl's whole line pasted
             {" " + shown.substr(0, 20) + " \t" + shown.substr(20) + " ", true},
             {"", false},
             {hex.substr(1), false},
             {hex + "0", false},
             {hex.substr(1) + "g", false},
             {"sha1 Fingerprint=" + hex, false},
         })
        EXPECT_EQ(NormalizedFingerprint(text), valid ? std::optional(hex) : std::nullopt) << text;
    EXPECT_EQ(shown.size(), 95u);
}

}  // namespace
}  // namespace vollum
