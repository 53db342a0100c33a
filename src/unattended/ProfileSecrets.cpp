#include "unattended/ProfileSecrets.h"

#include <qt6keychain/keychain.h>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

#include "common/Convert.h"
#include "common/Helpers.h"
#include "socket/EventWait.h"

namespace vollum {

const char* const kKeyringService = "Vollum";

namespace {

constexpr int kWaitWithoutTimeOutSeconds = 30;
const char* const kNoAnswer = "the keyring did not answer";

QString QtBytes(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Starts the job and waits for it, at most waitMs. A job that outlives its
// wait finishes (and deletes itself) later with nobody listening.
KeyringResult RunJob(QKeychain::Job* job, int64_t waitMs, QKeychain::ReadPasswordJob* read = nullptr) {
    struct Outcome {
        bool finished = false;
        QKeychain::Error error = QKeychain::NoError;
        QString errorText;
        QByteArray data;
    } out;
    EventWait wait;
    {
        // The connection ends with this scope, so a late finish touches nothing of ours.
        QObject listener;
        QObject::connect(job, &QKeychain::Job::finished, &listener, [&out, &wait, read](QKeychain::Job* done) {
            out.finished = true;
            out.error = done->error();
            out.errorText = done->errorString();
            if (read != nullptr) out.data = read->binaryData();
            wait.Cancel();
        });
        job->start();
        if (!out.finished) wait.Wait(-1, WaitFor::Read, waitMs);
    }
    KeyringResult r;
    if (!out.finished) {
        r.answer = KeyringAnswer::NoAnswer;
        r.reason = kNoAnswer;
        return r;
    }
    switch (out.error) {
        case QKeychain::NoError:
            r.answer = KeyringAnswer::Done;
            r.secret = DecodeSecret(out.data.toStdString());
            return r;
        case QKeychain::EntryNotFound:
            r.answer = KeyringAnswer::NotFound;
            r.reason = "the keyring holds no password for it, or is locked";
            return r;
        default:
            r.answer = KeyringAnswer::Failed;
            r.reason = out.errorText.isEmpty() ? std::string("the keyring refused") : out.errorText.toStdString();
            return r;
    }
}

KeyringResult NoKeyring() {
    KeyringResult r;
    r.answer = KeyringAnswer::NoKeyring;
    r.reason = "no session bus, so no keyring to ask";
    return r;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

bool SessionBusPresent() { return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"); }

std::string KeyringEntryName(const std::string& iniPath, const std::string& profile) {
    return "profile " + Quoted(LowerCaseName(profile)) + " in " + iniPath;
}

std::string EncodeSecret(const ProfileSecret& secret) {
    return secret.Account.empty() ? secret.Password : secret.Password + "\n" + secret.Account;
}

ProfileSecret DecodeSecret(const std::string& bytes) {
    const size_t cut = bytes.find('\n');
    if (cut == std::string::npos) return {bytes, ""};
    return {bytes.substr(0, cut), bytes.substr(cut + 1)};
}

int64_t KeyringWaitMs(int connectionTimeOutSeconds) {
    return WaitMsForSeconds(connectionTimeOutSeconds > 0 ? connectionTimeOutSeconds : kWaitWithoutTimeOutSeconds);
}

KeyringResult ReadProfileSecret(const std::string& iniPath, const std::string& profile, int64_t waitMs) {
    if (!SessionBusPresent()) return NoKeyring();
    auto* job = new QKeychain::ReadPasswordJob(kKeyringService);
    job->setKey(QtBytes(KeyringEntryName(iniPath, profile)));
    return RunJob(job, waitMs, job);
}

KeyringResult WriteProfileSecret(const std::string& iniPath, const std::string& profile,
                                 const ProfileSecret& secret, int64_t waitMs) {
    if (!SessionBusPresent()) return NoKeyring();
    auto* job = new QKeychain::WritePasswordJob(kKeyringService);
    job->setKey(QtBytes(KeyringEntryName(iniPath, profile)));
    // Bytes, not text: a password is whatever bytes the user typed.
    const std::string bytes = EncodeSecret(secret);
    job->setBinaryData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return RunJob(job, waitMs);
}

KeyringResult DeleteProfileSecret(const std::string& iniPath, const std::string& profile, int64_t waitMs) {
    if (!SessionBusPresent()) return NoKeyring();
    auto* job = new QKeychain::DeletePasswordJob(kKeyringService);
    job->setKey(QtBytes(KeyringEntryName(iniPath, profile)));
    KeyringResult r = RunJob(job, waitMs);
    if (r.answer == KeyringAnswer::NotFound) r.answer = KeyringAnswer::Done;  // nothing left to delete
    return r;
}

bool KeyringAnswers(int64_t waitMs) {
    const KeyringAnswer a = ReadProfileSecret("", "keyring probe", waitMs).answer;
    return a == KeyringAnswer::Done || a == KeyringAnswer::NotFound;
}

std::string TakeRunPassword(StartupValues& settings, std::string& why) {
    const std::string lead = "No password for profile " + Quoted(settings.ProfileName) + ": ";
    why.clear();
    switch (settings.PasswordStore) {
        case PasswordStore::File: return "";
        case PasswordStore::Ask: return lead + "it is not saved but asked for at each Connect";
        case PasswordStore::Keyring: break;
    }
    const KeyringResult r = ReadProfileSecret(settings.ProgramDir + "VOLLUM.INI", settings.ProfileName,
                                              KeyringWaitMs(settings.ConnectionTimeOut));
    if (!r.Ok()) {
        if (r.answer != KeyringAnswer::NoAnswer) why = r.reason;
        return lead + kNoAnswer;
    }
    settings.Password = r.secret.Password;
    settings.Account = r.secret.Account;
    return "";
}

std::string TakeRunPassword(StartupValues& settings) {
    std::string why;
    return TakeRunPassword(settings, why);
}

std::string SaveProfileWithSecret(TIniFile& ini, const std::string& name, ProfileValues values, bool secretKnown,
                                  int64_t waitMs, const ProfileSave& save) {
    const std::string& iniPath = ini.FileName();
    const PasswordStore previous = ProfileSaved(ini, name)
                                       ? PasswordStoreOf(ini.ReadString(name, "PasswordStore", ""))
                                       : PasswordStore::File;
    std::string message;
    if (!secretKnown) {
        if (values.PasswordStore != previous)
            message = "The password of profile " + Quoted(name) +
                      " stays in the keyring: the keyring did not give it, so it was not moved";
        values.PasswordStore = previous;
    } else if (values.PasswordStore == PasswordStore::Keyring) {
        const KeyringResult r = WriteProfileSecret(iniPath, name, {values.Password, values.Account}, waitMs);
        if (!r.Ok()) {
            values.PasswordStore = PasswordStore::File;
            message = "The keyring did not take the password of profile " + Quoted(name) + " (" + r.reason +
                      "): it is kept in VOLLUM.INI";
        }
    }
    save(ini, name, values);
    if (secretKnown && previous == PasswordStore::Keyring && values.PasswordStore != PasswordStore::Keyring) {
        const KeyringResult r = DeleteProfileSecret(iniPath, name, waitMs);
        if (!r.Ok()) {
            if (!message.empty()) message += "\n";
            message += "The old keyring entry of profile " + Quoted(name) + " could not be deleted (" + r.reason + ")";
        }
    }
    return message;
}

std::string ForgetProfileSecret(const std::string& iniPath, const std::string& name, PasswordStore stored,
                                int64_t waitMs) {
    if (stored != PasswordStore::Keyring) return "";
    const KeyringResult r = DeleteProfileSecret(iniPath, name, waitMs);
    if (r.Ok()) return "";
    return "The keyring entry of profile " + Quoted(name) + " could not be deleted (" + r.reason + ")";
}

RenameOutcome RenameProfileWithSecret(TIniFile& ini, const std::string& from, const std::string& to,
                                      int64_t waitMs) {
    RenameOutcome out;
    const std::string& iniPath = ini.FileName();
    if (to.empty()) {
        out.message = "A profile needs a name";
        return out;
    }
    if (!ProfileSaved(ini, from)) {
        out.message = "There is no saved profile named " + Quoted(from);
        return out;
    }
    if (LowerCaseName(from) != LowerCaseName(to) && ProfileSaved(ini, to)) {
        out.message = "A profile named " + Quoted(to) + " exists already";
        return out;
    }
    const bool moveEntry = PasswordStoreOf(ini.ReadString(from, "PasswordStore", "")) == PasswordStore::Keyring &&
                           KeyringEntryName(iniPath, from) != KeyringEntryName(iniPath, to);
    const std::string notRenamed = "Profile " + Quoted(from) + " was not renamed: ";
    if (moveEntry) {
        const KeyringResult held = ReadProfileSecret(iniPath, from, waitMs);
        if (!held.Ok()) {
            out.message = notRenamed + "its password could not be read from the keyring (" + held.reason + ")";
            return out;
        }
        KeyringResult moved = WriteProfileSecret(iniPath, to, held.secret, waitMs);
        if (moved.Ok()) {
            const KeyringResult back = ReadProfileSecret(iniPath, to, waitMs);
            if (!back.Ok() || !(back.secret == held.secret)) {
                moved.answer = KeyringAnswer::Failed;
                moved.reason = back.Ok() ? "the keyring gave back another password" : back.reason;
            }
        }
        if (!moved.Ok()) {
            DeleteProfileSecret(iniPath, to, waitMs);
            out.message = notRenamed + "the keyring did not take its password (" + moved.reason + ")";
            return out;
        }
    }
    try {
        RenameProfile(ini, from, to);
    } catch (...) {
        // The file kept the old name: so does the keyring.
        if (moveEntry) DeleteProfileSecret(iniPath, to, waitMs);
        throw;
    }
    out.renamed = true;
    if (moveEntry) {
        const KeyringResult old = DeleteProfileSecret(iniPath, from, waitMs);
        if (!old.Ok())
            out.message = "The old keyring entry of profile " + Quoted(from) + " could not be deleted (" + old.reason + ")";
    }
    return out;
}

bool MovePasswordsToKeyring(const std::string& iniPath, const std::function<void(const std::string&)>& report) {
    TIniFile ini(iniPath);
    const std::vector<std::string> names = SavedProfiles(ini);
    if (names.empty()) report("No saved profiles in " + iniPath);
    bool allMoved = true;
    for (const std::string& name : names) {
        const std::string lead = "Profile " + Quoted(name) + ": ";
        const PasswordStore store = PasswordStoreOf(ini.ReadString(name, "PasswordStore", ""));
        if (store == PasswordStore::Keyring) {
            report(lead + "already in the keyring");
            continue;
        }
        if (store == PasswordStore::Ask) {
            report(lead + "not saved (asked for at each Connect), left as it is");
            continue;
        }
        const ProfileSecret secret{ini.ReadString(name, "Password", ""), ini.ReadString(name, "Account", "")};
        if (secret.Password.empty() && secret.Account.empty()) {
            report(lead + "no password in VOLLUM.INI, left as it is");
            continue;
        }
        const int64_t waitMs = KeyringWaitMs(TryStrToInt(ini.ReadString(name, "ConnectionTimeOut", "")).value_or(0));
        KeyringResult r = WriteProfileSecret(iniPath, name, secret, waitMs);
        if (r.Ok()) {
            // Confirmed only by reading it back: a keyring may say yes and keep nothing.
            const KeyringResult back = ReadProfileSecret(iniPath, name, waitMs);
            if (!back.Ok() || !(back.secret == secret)) {
                r.answer = KeyringAnswer::Failed;
                r.reason = back.Ok() ? "the keyring gave back another password" : back.reason;
            }
        }
        if (!r.Ok()) {
            allMoved = false;
            report(lead + "kept in VOLLUM.INI: " + r.reason);
            continue;
        }
        // The place before the removal: cut short in between, the profile still finds its password.
        ini.WriteString(name, "PasswordStore", PasswordStoreText(PasswordStore::Keyring));
        ini.DeleteKey(name, "Password");
        ini.DeleteKey(name, "Account");
        report(lead + "moved to the keyring");
    }
    return allMoved;
}

}  // namespace vollum
