// Deletes a local directory tree through the process's current directory.
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "unattended/DirListing.h"
#include "unattended/TUnattended.h"

namespace vollum {

void TUnattended::RemoveDirTree(const std::string& D, const StoredFiles* onlyStored) {
    UserPrompts& prompts = s_.Prompts;
    const std::string O = CurrentDirectory();
    // A link, or a directory swapped for one meanwhile, never leads the deletions out of the tree.
    if (!EnterRealDirectory(D)) {
        prompts.Notice("ChDir failed");
        // Nothing is deleted; back where the call began if the entry went elsewhere.
        if (CurrentDirectory() != O && !ChangeDirectory(O)) prompts.Notice("Chdir OrgDir failed");
        return;
    }

    std::vector<DirEntry> entries;
    ListDirectory(".", entries);
    for (const DirEntry& e : entries) {
        if (e.name[0] == '.') continue;
        if (e.kind == EntryKind::Directory) {
            if (!MakeOwnerWritable(e.name, true)) prompts.Notice("DirSetAttr failed");
            RemoveDirTree(D + kPathSep + e.name, onlyStored);
            continue;
        }
        if (onlyStored && !onlyStored->Holds(D + kPathSep + e.name)) continue;
        // A link has no attributes of its own; its target's are not ours to change.
        if (!IsSymbolicLink(e.name) && !MakeOwnerWritable(e.name, false)) prompts.Notice("FileSetAttr failed");
        if (!DeleteFileEntry(e.name)) prompts.Notice("DeleteFile failed");
    }

    if (O == D) {
        if (!ChangeDirectory("..")) prompts.Notice("Chdir .. (1) failed");
    } else if (O.compare(0, D.size(), D) == 0) {
        if (!ChangeDirectory(D)) prompts.Notice("Chdir Directory failed");
        if (!ChangeDirectory("..")) prompts.Notice("Chdir .. (2) failed");
    } else {
        if (!ChangeDirectory(O)) prompts.Notice("Chdir OrgDir failed");
    }

    if (!RemoveEmptyDirectory(D)) prompts.Notice("RmDir failed");
}

}  // namespace vollum
