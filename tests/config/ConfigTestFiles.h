#pragma once
// A scratch directory per test and whole-file access for checking exact bytes.
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

namespace vollum::testing {

struct ScratchDir {
    QTemporaryDir dir;
    std::string File(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
};

inline std::string ReadFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace vollum::testing
