#pragma once
// The settings the client reads at start-up, held for the rest of the process.
#include <map>
#include <string>

#include "config/PasswordStore.h"

namespace vollum {

// The most connections a run opens at once (profile key Connections).
constexpr int kMostConnections = 8;

struct StartupValues {
    std::string ProgramDir;  // always ends in the path separator
    std::string ProfileName;
    bool ServerConfigured = true;
    bool SpoolRequested = false;  // only SpoolBay arms it
    bool ProfileUsable = false;   // the last-used profile has a section of its own
    std::string TypeCommand;
    int TransferTypeCode = 0;

    // The last-used profile.
    std::string Localdir;
    std::string HostName, UserName, Password, Account, Directory, Port;
    // Where Password and Account come from: read from the file here; a run
    // fetches them from the keyring before it logs in.
    vollum::PasswordStore PasswordStore = vollum::PasswordStore::File;
    bool IncludeDirs = false;
    bool IncludeSubDirs = false;
    bool UseLowerCase = false;
    bool DisplayError = false;
    std::string InitializeCommand;
    int FtpTimeOut = 0;         // data connection, seconds
    int ConnectionTimeOut = 0;  // control connection, seconds
    bool UseLogFile = true;
    bool PassiveMode = false;  // the client connects to the server for data (EPSV, else PASV)
    bool DataFromAnyAddress = false;  // active mode takes a data connection from any peer, not only the server
    bool UseTLS = false;        // AUTH TLS after the greeting; commands and data protected
    std::string TLSFingerprint;  // pinned SHA-256 of the server certificate, as stored
    int Connections = 1;         // logged-in connections a spool or drop run may use at once (1-8)
    bool TempUpload = false;  // stores go to a temporary name and are renamed when whole
    // Certificates trusted in this session for profiles that are not saved,
    // by profile name: held in memory only, never written.
    std::map<std::string, std::string> SessionPins;

    // Section options.
    std::string DirSep, ViewSep, Editor;
    // The Remote Files panel above the pane. Start-up reads it from
    // VOLLUM.INI, shown when the key is missing; a window made without that
    // reading (a test's) shows the plain pane.
    bool ShowRemoteFiles = false;
};

}  // namespace vollum
