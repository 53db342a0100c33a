#include "ftp/TempNames.h"

#include <QByteArrayView>
#include <QCryptographicHash>

#include "platform/LocalFiles.h"

namespace vollum {

namespace {
constexpr size_t kMaxName = 255;
constexpr size_t kTagLength = 8;
const std::string kSuffix = ".part";

bool IsTag(const std::string& text) {
    if (text.size() != kTagLength) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}
}  // namespace

std::string TempTag(const FileIdentity& file, const std::string& finalName, const std::string& installation) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // Every part with its length first, so that no two lists of parts run together.
    auto add = [&hash](const std::string& part) {
        const std::string length = std::to_string(part.size()) + ":";
        hash.addData(QByteArrayView(length.data(), static_cast<qsizetype>(length.size())));
        hash.addData(QByteArrayView(part.data(), static_cast<qsizetype>(part.size())));
    };
    for (const auto value : {file.device, file.inode}) add(std::to_string(value));
    for (const auto value : {file.size, file.mtimeSec, file.mtimeNsec}) add(std::to_string(value));
    add(finalName);
    add(installation);
    return hash.result().toHex().left(static_cast<qsizetype>(kTagLength)).toStdString();
}

std::string TempName(const std::string& finalName, const std::string& tag) {
    const size_t room = kMaxName - 1 - tag.size() - kSuffix.size();
    size_t keep = std::min(finalName.size(), room);
    // Back to the start of a character: a UTF-8 continuation byte is 10xxxxxx.
    if (keep < finalName.size())
        while (keep > 0 && (static_cast<unsigned char>(finalName[keep]) & 0xc0) == 0x80) --keep;
    return finalName.substr(0, keep) + "." + tag + kSuffix;
}

std::string TempTagOf(const std::string& listedName, const std::string& finalName) {
    const size_t slash = listedName.find_last_of('/');
    const std::string name = slash == std::string::npos ? listedName : listedName.substr(slash + 1);
    const std::string pattern = TempName(finalName, std::string(kTagLength, '0'));
    const size_t stem = pattern.size() - kTagLength - kSuffix.size();
    if (name.size() != pattern.size() || name.compare(0, stem, pattern, 0, stem) != 0 ||
        name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
        return "";
    const std::string tag = name.substr(stem, kTagLength);
    return IsTag(tag) ? tag : "";
}

int64_t SizeFromReply(const std::string& reply) {
    if (reply.compare(0, 4, "213 ") != 0) return -1;
    size_t i = 4;
    int64_t value = 0;
    bool digits = false;
    for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i) {
        if (value > (INT64_MAX - 9) / 10) return -1;
        value = value * 10 + (reply[i] - '0');
        digits = true;
    }
    for (; i < reply.size(); ++i)
        if (reply[i] != ' ' && reply[i] != '\r' && reply[i] != '\n') return -1;
    return digits ? value : -1;
}

}  // namespace vollum
