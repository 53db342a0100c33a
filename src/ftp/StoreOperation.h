#pragma once
// Upload of one local file, the meter counting 512-byte blocks: the 425 and
// 426 checks, the speed and time-left texts, and the bounded re-run after a
// broken transfer. With TempUpload the file goes to a temporary name first
// (TempStore.cpp): renamed into place when whole, resumed when a run before
// left part of it.
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "ftp/ServerFeatures.h"
#include "ftp/TempJournal.h"
#include "ftp/TransferParts.h"
#include "platform/LocalFiles.h"

namespace vollum {

class SendFile;

class StoreOperation {
public:
    explicit StoreOperation(const TransferParts& parts) : p_(parts) {}

    // What the server announced (FEAT): a digest command checks a resume.
    std::function<const ServerFeatures&()> Features;

    // True only when every byte was sent, nothing aborted and the final reply
    // was class 2 (after a re-run: that of the re-run). A local file whose
    // size or modification time changed while it was sent does not count as
    // stored completely either. Under a temporary name: only once it was
    // renamed to remoteName.
    bool Run(const std::string& typeCommand, const std::string& localPath, const std::string& remoteName);

    // After a refused STOR: a 425 on the pane ends the program (exit code 1).
    void CheckDataConnection();
    // After a final reply of 426: true when the store is to run again
    // (Retrying() is then set). Automatic re-runs stop after three; a person
    // asked each time may go on.
    bool CheckTransferAborted(const std::string& remote);
    bool Retrying() const { return retrying_; }
    // The next store is a new one, not a re-run.
    void ForgetRetry() { retrying_ = false; }

    static constexpr int kMaxAutomaticReruns = 3;

    // Whether the remote current directory holds name: from its listing
    // (NLST, once per directory), else SIZE and MDTM (550 to both: absent).
    // nullopt when the server does not tell.
    std::optional<bool> RemoteNameExists(const std::string& typeCommand, const std::string& name);

    // The temporary name a store is sending to at this moment; empty when none.
    const std::string& PartialName() const { return partial_; }

    // While within (a real directory path) is set, a local file that does not
    // lie inside it, links followed, is not sent: "Kept <path>: <why>".
    void ConfineTo(const std::string& within, const std::string& why) {
        within_ = within;
        confinedWhy_ = why;
    }

private:
    // One run up to its final reply; false when it ended before (open error,
    // refused STOR, abort), so no broken-transfer check follows.
    // expected: the file as its temporary name describes it (the store does
    // not count when the file is not that one); offset: where a resumed store
    // starts, with REST (APPE where REST is refused).
    bool StoreOnce(const std::string& typeCommand, const std::string& localPath, const std::string& remote, bool rerun,
                   const FileIdentity* expected, long long offset, bool& complete, int& finalReply);
    void OpenFailed();

    // Temporary names (TempStore.cpp).
    struct TempPlan {
        std::string name;
        long long offset = 0;  // bytes of it already on the server, checked against the local file
        bool foreign = false;  // the server holds that name, and this installation did not make it
    };
    enum class Placed { Done, Failed, RenamesRefused, KeptAsTemp };
    // TempUpload is on and this connection's server has not refused renames.
    bool UsesTempNames() const;
    // Deletes this installation's temporaries of finalName left for another
    // version of the file; in binary type one of this version left short is
    // resumed when mayResume and its bytes match the local file's. Journals
    // the temporary before anything is sent to it.
    TempPlan PlanTemp(const std::string& typeCommand, const std::string& finalName, const std::string& localPath,
                      const FileIdentity& file, bool mayResume);
    // In binary type SIZE must give the whole file; then RNFR and RNTO (the
    // old file deleted when RNTO onto it is refused).
    Placed PutInPlace(const std::string& typeCommand, const std::string& temp, const std::string& finalName,
                      long long size);
    // The names in the remote current directory (NLST), kept until the
    // directory may have changed; false when the server would not list them.
    bool ListNames(const std::string& typeCommand);
    // SIZE of a remote file; -1 when none came (unsupported: the server has no SIZE).
    long long RemoteSize(const std::string& name, bool& unsupported);
    // The remote current directory as PWD names it, asked once per directory; false when unknown.
    bool CurrentDirectory(std::string& dir);
    TempEntry EntryOf(const std::string& dir, const std::string& name) const;
    std::string JournalPath() const;
    // DELE of one of our temporaries; its journal entry goes with it.
    bool DropTemp(const std::string& dir, const std::string& name);
    // The first held bytes of the temporary are the local file's: a window
    // at each end (the whole when small) read back and compared.
    bool PartialMatches(const std::string& temp, const std::string& localPath, long long held);
    // Whether length bytes of a remote file from offset (REST), read in
    // binary type, are local's from there; with toEnd the file must end
    // there, else the rest is aborted. restRefused: the server refused REST.
    bool RemoteMatches(const std::string& name, long long offset, long long length, bool toEnd, SendFile& local,
                       bool* restRefused = nullptr);
    // Whether the server's digest of the whole remote file (HASH, XSHA256,
    // XSHA1 or XMD5, as FEAT offers) equals that of the local file's first
    // length bytes; nullopt when the server offers none.
    std::optional<bool> DigestMatches(const std::string& name, const std::string& localPath, long long length);
    // What a store that did not complete left under remote, on pane and log.
    void SayWhatIsLeft(const std::string& remote, bool temp);

    TransferParts p_;
    bool retrying_ = false;
    int reruns_ = 0;  // automatic re-runs of the current store after 426
    std::string partial_;
    // The store command was accepted, or its answer never came: the server may hold part of the file.
    bool begun_ = false;
    bool refused_ = false;  // the server refused the store command itself
    const std::string* resumedFrom_ = nullptr;  // the local path, while a resumed store is put in place
    int pwdDirectory_ = -1;  // the directory pwd_ names
    bool pwdOk_ = false;
    std::string pwd_;
    int renamesRefusedOn_ = -1;  // the connection whose server refused renames
    int listedDirectory_ = -1;   // the directory listed_ holds the names of
    bool listOk_ = false;
    std::set<std::string> listed_;
    std::string within_, confinedWhy_;
};

}  // namespace vollum
