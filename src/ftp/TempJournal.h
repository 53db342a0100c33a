#pragma once
// The temporaries this installation began on a server and has not finished
// (VOLLUM.PARTS beside VOLLUM.INI). A store journals its temporary before
// the first byte goes; only a journalled name is ever resumed or deleted, so
// a file of the same form that someone else put there is left alone.
#include <string>

namespace vollum {

struct TempEntry {
    std::string server;     // user@host:port
    std::string directory;  // the remote directory as PWD named it
    std::string name;       // the temporary's name in it
};

class TempJournal {
public:
    explicit TempJournal(std::string path) : path_(std::move(path)) {}
    // Each a locked read-modify-write, as the INI's; false when the file could not be written.
    bool Add(const TempEntry& entry);
    bool Remove(const TempEntry& entry);
    bool Holds(const TempEntry& entry) const;

private:
    std::string path_;
};

}  // namespace vollum
