#include "unattended/SharedNames.h"

#include <QString>
#include <algorithm>
#include <map>

#include "common/Helpers.h"

namespace vollum {

std::string FoldedName(const std::string& name) {
    std::string folded;
    // Most names are ASCII: folded without a trip through Unicode.
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        folded = LowerCaseName(name);
    } else {
        const QString text = ValidUtf8(name) ? QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                                               .normalized(QString::NormalizationForm_KC)
                                             : QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        folded = text.toCaseFolded().toStdString();
    }
    while (!folded.empty() && (folded.back() == '.' || folded.back() == ' ')) folded.pop_back();
    return folded;
}

std::vector<std::vector<SharedNames::Claim>> SharedNames::TakeGroups() {
    std::map<std::string, std::vector<Claim>> byKey;
    std::vector<std::string> order;
    for (Claim& claim : claims_) {
        std::string key;
        for (const std::string& part : claim.remotePath) key += FoldedName(part) + '/';
        auto& group = byKey[key];
        if (group.empty()) order.push_back(key);
        group.push_back(std::move(claim));
    }
    claims_.clear();
    std::vector<std::vector<Claim>> groups;
    for (const std::string& key : order)
        if (byKey[key].size() > 1) groups.push_back(std::move(byKey[key]));
    return groups;
}

std::set<std::string> SharedNames::Sharing(const std::vector<std::string>& names) {
    std::map<std::string, std::vector<std::string>> byFold;
    for (const std::string& name : names) byFold[FoldedName(name)].push_back(name);
    std::set<std::string> sharing;
    for (const auto& [fold, alike] : byFold)
        if (alike.size() > 1) sharing.insert(alike.begin(), alike.end());
    return sharing;
}

}  // namespace vollum
