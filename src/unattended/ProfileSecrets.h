#pragma once
// Profiles' passwords and accounts in the desktop keyring (the Secret Service
// on Linux, reached through QtKeychain): one entry per profile under the
// service "Vollum". Every keyring call waits in the one event-loop wait with a
// deadline, so a keyring that is locked, gone or stuck holds nothing up for
// longer than that. Without a session bus nothing is asked at all: the keyring
// client would otherwise try to start a bus, and with it a keyring, of its own.
//
// It lives here rather than in config/ because it waits: this is the lowest
// folder that reaches both the profiles and the one wait in socket/.
#include <cstdint>
#include <functional>
#include <string>

#include "config/Profiles.h"
#include "config/StartupValues.h"

namespace vollum {

struct ProfileSecret {
    std::string Password, Account;
    bool operator==(const ProfileSecret&) const = default;
};

enum class KeyringAnswer {
    Done,       // read, written or deleted (deleting what is not there included)
    NotFound,   // no such entry; a locked keyring answers a read so too
    Failed,     // refused or broken; the reason says how
    NoAnswer,   // nothing came before the deadline
    NoKeyring,  // no session bus: nothing was asked
};

struct KeyringResult {
    KeyringAnswer answer = KeyringAnswer::NoKeyring;
    std::string reason;    // for people: "the keyring did not answer", or the keyring's own words
    ProfileSecret secret;  // what a read found
    bool Ok() const { return answer == KeyringAnswer::Done; }
};

extern const char* const kKeyringService;  // "Vollum"

// DBUS_SESSION_BUS_ADDRESS names a bus to ask.
bool SessionBusPresent();

// The entry of a profile: its name as its section matches (ASCII case ignored)
// and the settings file, so that the profiles of two program directories on
// one machine never share one.
std::string KeyringEntryName(const std::string& iniPath, const std::string& profile);

// One entry holds both: the password, and after a line feed the account when
// there is one (neither can hold a line break: the file and the wire cannot).
std::string EncodeSecret(const ProfileSecret& secret);
ProfileSecret DecodeSecret(const std::string& bytes);

// How long one keyring call may take: the profile's ConnectionTimeOut, or 30
// seconds when it has none.
int64_t KeyringWaitMs(int connectionTimeOutSeconds);

KeyringResult ReadProfileSecret(const std::string& iniPath, const std::string& profile, int64_t waitMs);
KeyringResult WriteProfileSecret(const std::string& iniPath, const std::string& profile,
                                 const ProfileSecret& secret, int64_t waitMs);
KeyringResult DeleteProfileSecret(const std::string& iniPath, const std::string& profile, int64_t waitMs);

// A keyring answers at all: a read of an entry nobody writes comes back in time.
bool KeyringAnswers(int64_t waitMs);

// For an unattended run (and an upload worker): fills settings.Password and
// Account from where the profile keeps them. Returns the line the run ends
// with when there is no password to log in with, empty when there is one; why
// then holds the keyring's own reason, for the log (empty when it said nothing).
std::string TakeRunPassword(StartupValues& settings, std::string& why);
std::string TakeRunPassword(StartupValues& settings);

// The setup dialog's Add, Save and OK: `save` writes the profile's keys, with
// its secret put where values.PasswordStore says first. The keyring is written
// before the file, and Password and Account leave VOLLUM.INI only once the
// keyring confirmed the write; a write it refused or did not answer saves them
// in the file as before. With secretKnown false (the keyring could not be read
// when the profile was shown, and nobody typed a new one) the stored secret
// stays where it is. A keyring entry the profile no longer uses is deleted
// after the file is written. Returns what to tell the user; empty: nothing.
using ProfileSave = std::function<void(TIniFile&, const std::string&, const ProfileValues&)>;
std::string SaveProfileWithSecret(TIniFile& ini, const std::string& name, ProfileValues values, bool secretKnown,
                                  int64_t waitMs, const ProfileSave& save);

// After a profile kept in `stored` was deleted: its keyring entry goes too.
// Returns what to tell the user; empty: nothing.
std::string ForgetProfileSecret(const std::string& iniPath, const std::string& name, PasswordStore stored,
                                int64_t waitMs);

// Renames a profile and moves its keyring entry: the entry is written under
// the new name and read back before the file changes, and the old one is
// deleted after. Nothing changes when the keyring cannot take it.
struct RenameOutcome {
    bool renamed = false;
    std::string message;  // why not, or what was left behind; empty: nothing to say
};
RenameOutcome RenameProfileWithSecret(TIniFile& ini, const std::string& from, const std::string& to,
                                      int64_t waitMs);

// Vollum --move-passwords-to-keyring: every saved profile whose password or
// account lies in VOLLUM.INI gets a keyring entry, read back to confirm it,
// and only then loses them from the file. One line per profile goes to report.
// True when no password was left in the file for want of a keyring.
bool MovePasswordsToKeyring(const std::string& iniPath, const std::function<void(const std::string&)>& report);

}  // namespace vollum
