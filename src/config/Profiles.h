#pragma once
// Server profiles in VOLLUM.INI: the numbered slots of section [index], one
// section per profile, and the operations of the setup dialog on them. Each
// function performs its reads and writes in the file's documented order, so a
// failure part-way leaves exactly the writes before it in the file.
#include <string>
#include <vector>

#include "config/TIniFile.h"

namespace vollum {

// The values of a profile section, as the setup dialog's controls hold
// them. The member defaults are the dialog's read defaults.
struct ProfileValues {
    std::string HostName, UserName, Password, Account, Directory;
    std::string Port;  // the field's text; converted strictly when written
    std::string Localdir;
    bool Anonymous = true;
    bool AutoSave = true;
    bool UseLogFile = true;
    bool IncludeDirs = true;
    bool IncludeSubDirs = true;
    bool UseLowerCase = true;
    std::string InitializeCommand;
    std::string FtpTimeOut;         // stored exactly as typed
    std::string ConnectionTimeOut;  // stored exactly as typed
    bool DisplayError = true;
    bool PassiveMode = false;
    bool UseTLS = false;
    std::string TLSFingerprint;  // as stored: any spelling the user pasted
    bool TempUpload = false;
    int TransferType = 0;  // 1 ASCII, 2 Binary, 3 EBCDIC
    int Connections = 1;   // parallel uploads of a spool or drop run, 1-8
};

// What a new profile starts with in the setup dialog: the FTP port, and
// seconds to connect and to wait for data.
inline constexpr const char* kNewProfilePort = "21";
inline constexpr const char* kNewProfileConnectionTimeOut = "30";
inline constexpr const char* kNewProfileFtpTimeOut = "60";

// "Profile" + the slot number in decimal.
std::string ProfileSlotKey(int slot);

// The non-empty slot values in slot order, duplicates included. Writes [index]
// next=0 when it is missing; raises EConvertError when it is not an integer.
std::vector<std::string> ListProfiles(TIniFile& ini);

// Reads a profile section; a key that is missing takes its value from defaults.
ProfileValues ReadProfileKeys(const TIniFile& ini, const std::string& name, const ProfileValues& defaults);

// Writes the profile keys in their documented order, TransferType last (and
// only when asked: the dialog's OK leaves it out). A Port that is not an integer
// raises EConvertError with the keys before it already written.
void WriteProfileKeys(TIniFile& ini, const std::string& name, const ProfileValues& values,
                      bool includeTransferType = true);

// The dialog's Add: new slot, last-used name, configured marker, the profile's
// keys, then next advanced by one.
void AddProfile(TIniFile& ini, const std::string& name, const ProfileValues& values);

// The dialog's Save: the profile's keys, then the last-used name. The index is not touched.
void ModifyProfile(TIniFile& ini, const std::string& name, const ProfileValues& values);

// The dialog's OK with "Auto Save Config": the keys without TransferType, the
// configured marker, then the last-used name.
void AutoSaveProfile(TIniFile& ini, const std::string& name, const ProfileValues& values);

// Trusts a server certificate for a profile: writes only its TLSFingerprint.
void PinFingerprint(TIniFile& ini, const std::string& profile, const std::string& fingerprintText);

// True when the file holds a section of that name with keys in it.
bool ProfileSaved(const TIniFile& ini, const std::string& profile);

// The dialog's Delete. Returns false when [index] next is missing (the section
// is erased and nothing else happens, so the list needs no reload).
bool DeleteProfile(TIniFile& ini, const std::string& name);

}  // namespace vollum
