#pragma once
// What a server announced in its reply to FEAT: one feature per line, a name
// and the text after it ("HASH SHA-256*;SHA-1;MD5", "MLST type*;size*;").
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vollum {

class ServerFeatures {
public:
    ServerFeatures() = default;
    // From every line of the reply to FEAT, line ends included. Only a 211
    // reply names features; any other (500, 502, no reply) names none.
    static ServerFeatures FromReply(std::string_view reply);

    // Feature names match in any letter case.
    bool Has(std::string_view name) const;
    // The text after the name, blanks around it dropped; empty when the
    // feature has none or is not there.
    std::string Params(std::string_view name) const;
    bool Empty() const { return features_.empty(); }

private:
    const std::pair<std::string, std::string>* Find(std::string_view name) const;

    std::vector<std::pair<std::string, std::string>> features_;  // name, parameters
};

}  // namespace vollum
