// IniDocument: any text is written back byte for byte; a value set is the
// value read, before and after the text is parsed again; an erased section
// is gone.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "FuzzCheck.h"
#include "config/IniDocument.h"

using vollum::IniDocument;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// What a value becomes when stored: one line, no blanks around it, at most the read limit.
std::string Storable(std::string v) {
    v = v.substr(0, v.find_first_of("\r\n"));
    while (!v.empty() && IsBlank(v.back())) v.pop_back();
    size_t b = 0;
    while (b < v.size() && IsBlank(v[b])) ++b;
    return v.substr(b, vollum::kIniValueLimit);
}

// Names as the program writes them: no line break, no "=" in a key, and a
// key that does not read as a comment or a section header.
std::string Name(std::string n, bool key) {
    std::string out;
    for (char c : n)
        if (c != '\r' && c != '\n' && !(key && c == '=')) out += c;
    while (key) {
        const size_t b = out.find_first_not_of(" \t");
        if (b == std::string::npos || (out[b] != ';' && out[b] != '[')) break;
        out.erase(0, b + 1);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = Name(in.ConsumeRandomLengthString(40), false);
    const std::string key = Name(in.ConsumeRandomLengthString(40), true);
    const std::string value = Storable(in.ConsumeRandomLengthString(1100));
    const std::string other = Name(in.ConsumeRandomLengthString(40), false);
    const std::string text = in.ConsumeRemainingBytesAsString();

    IniDocument doc(text);
    FUZZ_CHECK(doc.Text() == text);

    doc.Set(section, key, value);
    FUZZ_CHECK(doc.Value(section, key) == value);
    const IniDocument reread(doc.Text());
    FUZZ_CHECK(reread.Value(section, key) == value);
    FUZZ_CHECK(IniDocument(reread.Text()).Text() == reread.Text());

    doc.EraseSection(other);
    FUZZ_CHECK(!doc.Value(other, key).has_value());
    FUZZ_CHECK(!IniDocument(doc.Text()).Value(other, key).has_value());
    return 0;
}
