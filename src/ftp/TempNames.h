#pragma once
// The temporary names a store goes to before it is renamed into place, and
// the SIZE reply it is checked with. A temporary name is the final name, a
// dot, a tag and ".part": a later run finds it again, and knows from the tag
// whether it still belongs to the same local file of the same installation.
#include <cstdint>
#include <string>

namespace vollum {

struct FileIdentity;

// Eight lower-case hex digits from the local file's device, inode, size and
// modification time, the whole final name (a long one is cut in the
// temporary name, never in the tag) and the installation's identity.
std::string TempTag(const FileIdentity& file, const std::string& finalName, const std::string& installation);
// finalName.tag.part within 255 bytes: a long final name gives up its end
// (never half a UTF-8 character) for the tag.
std::string TempName(const std::string& finalName, const std::string& tag);
// The tag of a temporary name of finalName, as a server listed it (a path
// before the name is ignored); empty when the name is none of ours.
std::string TempTagOf(const std::string& listedName, const std::string& finalName);

// The byte count of a "213 <digits>" reply; -1 for anything else.
int64_t SizeFromReply(const std::string& reply);

}  // namespace vollum
