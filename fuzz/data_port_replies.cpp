// The 227 and 229 replies and the size a 150 reply announces: any text gives
// a port in range or none (a size of zero or more), and a well-formed reply
// built from the input gives back the numbers put into it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "FuzzCheck.h"
#include "ftp/ReplyNumbers.h"
#include "ftp/RetrieveOperation.h"

using vollum::AnnouncedSize;
using vollum::EpsvPort;
using vollum::PasvPort;
using vollum::RetrieveOperation;

namespace {

std::string Without(std::string text, const std::string& bytes) {
    std::string out;
    for (char c : text)
        if (bytes.find(c) == std::string::npos) out += c;
    return out;
}

const std::string kDigits = "0123456789";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int port = in.ConsumeIntegralInRange<int>(1, 65535);
    const int sizeAnnounced = in.ConsumeIntegralInRange<int>(0, 2147483647);
    char delimiter = in.ConsumeIntegralInRange<char>(33, 126);
    if (delimiter >= '0' && delimiter <= '9') delimiter = '|';
    const std::string before = in.ConsumeRandomLengthString(200);
    const std::string after = in.ConsumeRandomLengthString(200);
    const std::string raw = in.ConsumeRemainingBytesAsString();

    for (const std::string& text : {raw, before, "227 " + raw, "229 " + raw, "150 " + raw}) {
        const int epsv = EpsvPort(text);
        FUZZ_CHECK(epsv == -1 || (epsv >= 1 && epsv <= 65535));
        const int pasv = PasvPort(text);
        FUZZ_CHECK(pasv == -1 || (pasv >= 1 && pasv <= 65535));
        FUZZ_CHECK(RetrieveOperation::ReplyFileSize(text) >= 0);
        const auto announced = AnnouncedSize(text);
        FUZZ_CHECK(!announced || *announced >= 0);
    }

    const std::string d(1, delimiter);
    const std::string epsv = "229 " + Without(before, "(") + "(" + d + d + d + std::to_string(port) + d + ")" + after;
    FUZZ_CHECK(EpsvPort(epsv) == port);

    const std::string pasv = "227 " + Without(before, kDigits) + "127,0,0,1," + std::to_string(port / 256) + "," +
                             std::to_string(port % 256) + ")" + after;
    FUZZ_CHECK(PasvPort(pasv) == port);

    const std::string opening = "150 Opening BINARY mode data connection for " + Without(before, "(") + " (" +
                                std::to_string(sizeAnnounced) + " bytes)" + after;
    FUZZ_CHECK(RetrieveOperation::ReplyFileSize(opening) == sizeAnnounced);
    // The group that ends the reply counts for the check of a whole download.
    const std::string last = "150 Opening BINARY mode data connection for " + before + " (" +
                              std::to_string(sizeAnnounced) + " bytes).\r\n";
    FUZZ_CHECK(AnnouncedSize(last) == sizeAnnounced);
    return 0;
}
