#include <gtest/gtest.h>

#include "ConfigTestFiles.h"
#include "common/Errors.h"
#include "config/Profiles.h"

namespace vollum {
namespace {

using testing::ReadFile;
using testing::WriteFile;
using Names = std::vector<std::string>;

ProfileValues Sample() {
    ProfileValues v;
    v.HostName = "ftp.example";
    v.UserName = "me";
    v.Password = "pw";
    v.Account = "acct";
    v.Directory = "/pub";
    v.Port = "0021";
    v.Localdir = "/tmp";
    v.Anonymous = v.IncludeDirs = v.UseLowerCase = v.DisplayError = false;
    v.InitializeCommand = "SITE UMASK 022";
    v.FtpTimeOut = "30";
    v.ConnectionTimeOut = " 60";
    v.TransferType = 2;
    return v;
}

class ProfilesTest : public ::testing::Test {
protected:
    testing::ScratchDir dir;
    std::string path = dir.File("VOLLUM.INI");
    TIniFile ini{path};
    std::string Slot(int k, const std::string& missing = "<missing>") {
        return ini.ReadValue("index", ProfileSlotKey(k)).value_or(missing);
    }
};

TEST_F(ProfilesTest, listingStartsAnIndexAndAddWritesEverythingInItsOrder) {
    EXPECT_EQ(ListProfiles(ini), Names{});
    AddProfile(ini, "Home", Sample());
    EXPECT_EQ(ReadFile(path),
              "[index]\nnext=1\nProfile0=Home\n[LastUsed]\nNAME=Home\n[Fixed]\nOK=1\n"
              "[Home]\nHostName=ftp.example\nUserName=me\nPassword=pw\nAccount=acct\nDirectory=/pub\n"
              "Port=21\nLocaldir=/tmp\nAnonymous=0\nAutoSave=1\nUseLogFile=1\nIncludeDirs=0\n"
              "IncludeSubDirs=1\nUseLowerCase=0\nInitializeCommand=SITE UMASK 022\nFtpTimeOut=30\n"
              "ConnectionTimeOut= 60\nDisplayError=0\nTransferType=2\nPassiveMode=0\nUseTLS=0\nTLSFingerprint=\n"
              "TempUpload=0\n");
}

TEST_F(ProfilesTest, tlsKeysRoundTripAndPinningTouchesOnlyTheFingerprint) {
    ProfileValues tls = Sample();
    tls.UseTLS = true;
    tls.TLSFingerprint = "ab:CD ef";  // kept as typed; the engine normalises when it compares
    ModifyProfile(ini, "S", tls);
    const ProfileValues read = ReadProfileKeys(ini, "S", ProfileValues{});
    EXPECT_TRUE(read.UseTLS);
    EXPECT_EQ(read.TLSFingerprint, "ab:CD ef");

    std::string expected = ReadFile(path);
    expected.replace(expected.find("ab:CD ef"), 8, "01:23");
    PinFingerprint(ini, "S", "01:23");
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(ProfilesTest, addWithBadPortStopsAtPortAndTheNextAddReusesTheSlot) {
    ProfileValues bad = Sample();
    bad.Port = "";
    try {
        AddProfile(ini, "Broken", bad);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'' is not a valid integer value");
    }
    EXPECT_EQ(ReadFile(path),
              "[index]\nnext=0\nProfile0=Broken\n[LastUsed]\nNAME=Broken\n[Fixed]\nOK=1\n"
              "[Broken]\nHostName=ftp.example\nUserName=me\nPassword=pw\nAccount=acct\nDirectory=/pub\n");
    AddProfile(ini, "Good", Sample());
    EXPECT_EQ(ListProfiles(ini), Names{"Good"});
}

TEST_F(ProfilesTest, deletesKeepGapsAndPointLastUsedAtTheSlotBefore) {
    for (const char* name : {"A", "B", "C"}) AddProfile(ini, name, Sample());
    ASSERT_TRUE(DeleteProfile(ini, "B"));
    EXPECT_EQ(ListProfiles(ini), (Names{"A", "C"}));
    EXPECT_EQ(ini.ReadString("index", "next", ""), "3");
    EXPECT_EQ(Slot(1), "");
    EXPECT_EQ(ini.ReadString("LastUsed", "NAME", ""), "A");
    EXPECT_EQ(ini.ReadValue("B", "HostName"), std::nullopt);

    ASSERT_TRUE(DeleteProfile(ini, "A"));
    EXPECT_EQ(ini.ReadString("LastUsed", "NAME", "x"), "");

    // A name in no slot (saved, never added): section erased, empty slot next + 1.
    ModifyProfile(ini, "Ghost", Sample());
    ASSERT_TRUE(DeleteProfile(ini, "Ghost"));
    EXPECT_EQ(ini.ReadValue("Ghost", "HostName"), std::nullopt);
    EXPECT_EQ(ini.ReadString("LastUsed", "NAME", "x"), "");
    EXPECT_EQ(Slot(4), "");
    EXPECT_EQ(ListProfiles(ini), Names{"C"});
}

TEST_F(ProfilesTest, namesAreExactInTheIndexButShareCaseInsensitiveSections) {
    for (const char* name : {"Srv", "srv", "Srv"}) AddProfile(ini, name, Sample());
    EXPECT_EQ(ListProfiles(ini), (Names{"Srv", "srv", "Srv"}));
    EXPECT_EQ(ReadFile(path).find("[srv]"), std::string::npos);

    // An empty name matches the first slot that reads empty: slot 3, which is not there.
    ASSERT_TRUE(DeleteProfile(ini, ""));
    EXPECT_EQ(Slot(3), "");
    EXPECT_EQ(Slot(4), "<missing>");
    EXPECT_EQ(ini.ReadString("LastUsed", "NAME", ""), "Srv");

    ASSERT_TRUE(DeleteProfile(ini, "srv"));
    EXPECT_EQ(ListProfiles(ini), (Names{"Srv", "Srv"}));
    EXPECT_EQ(ini.ReadValue("Srv", "HostName"), std::nullopt);
}

TEST_F(ProfilesTest, deleteWithoutIndexOnlyErasesAndADamagedNextStopsEverything) {
    WriteFile(path, "[LastUsed]\nNAME=Old\n[Old]\nHostName=h\n");
    EXPECT_FALSE(DeleteProfile(ini, "Old"));
    EXPECT_EQ(ReadFile(path), "[LastUsed]\nNAME=Old\n");

    const std::string damaged = "[index]\nnext=abc\nProfile0=A\n[A]\nHostName=h\n";
    WriteFile(path, damaged);
    EXPECT_THROW(ListProfiles(ini), EConvertError);
    EXPECT_THROW(AddProfile(ini, "B", Sample()), EConvertError);
    EXPECT_EQ(ReadFile(path), damaged);
    EXPECT_THROW(DeleteProfile(ini, "A"), EConvertError);
    EXPECT_EQ(ini.ReadValue("A", "HostName"), std::nullopt);  // erased before next was read
}

TEST_F(ProfilesTest, onlySlotKeysUpToNextAreListed) {
    WriteFile(path, "[index]\nnext=2000000000\nprofile1=B\nProfile01=X\nProfile0=A\nProfile2000000001=Z\n");
    EXPECT_EQ(ListProfiles(ini), (Names{"A", "B"}));
}

TEST_F(ProfilesTest, autoSaveLeavesTransferTypeAndIndexAloneAndReadsTakeDefaults) {
    AutoSaveProfile(ini, "P", Sample());
    EXPECT_EQ(ini.ReadValue("P", "TransferType"), std::nullopt);
    EXPECT_EQ(ini.ReadValue("index", "next"), std::nullopt);
    EXPECT_TRUE(ini.ReadBool("Fixed", "OK", false));
    EXPECT_EQ(ini.ReadString("LastUsed", "NAME", ""), "P");

    WriteFile(path, "[P]\nUseLogFile=0\nIncludeDirs=2\nAnonymous=yes\nTransferType=0x2\n");
    ProfileValues defaults;
    defaults.Localdir = "/current/text";
    defaults.TransferType = 1;
    const ProfileValues v = ReadProfileKeys(ini, "p", defaults);
    EXPECT_EQ(v.Localdir, "/current/text");
    EXPECT_FALSE(v.UseLogFile);
    EXPECT_TRUE(v.IncludeDirs && v.Anonymous && v.DisplayError);
    EXPECT_EQ(v.TransferType, 2);
}

TEST_F(ProfilesTest, aProfileKeptElsewhereHoldsNoSecretAndRenameTakesSectionSlotAndLastUsed) {
    WriteFile(path, "[index]\nnext=1\nProfile0=Home\n[LastUsed]\nNAME=Home\n[Home]\nPassword=old\nAccount=x\n"
                    "[home]\nPassword=older\n");
    ProfileValues v = Sample();
    v.PasswordStore = PasswordStore::Keyring;
    ModifyProfile(ini, "Home", v);
    for (const char* secret : {"Password=", "Account=", "old", "pw"})
        EXPECT_EQ(ReadFile(path).find(secret), std::string::npos) << secret;
    EXPECT_EQ(ReadProfileKeys(ini, "Home", ProfileValues{}).PasswordStore, PasswordStore::Keyring);
    v.PasswordStore = PasswordStore::File;  // back into the file, which then says so
    ModifyProfile(ini, "Home", v);
    EXPECT_EQ(ini.ReadString("Home", "Password", ""), "pw");
    EXPECT_EQ(ini.ReadString("Home", "PasswordStore", ""), "file");

    EXPECT_TRUE(RenameProfile(ini, "Home", "Work"));
    EXPECT_EQ(Slot(0), "Work");
    EXPECT_EQ(ini.ReadString("LastUsed", "NAME", ""), "Work");
    EXPECT_EQ(ini.ReadString("Work", "HostName", ""), "ftp.example");
    EXPECT_FALSE(ProfileSaved(ini, "Home"));
    AddProfile(ini, "Other", Sample());
    EXPECT_FALSE(RenameProfile(ini, "Work", "other"));  // another profile's section
    EXPECT_FALSE(RenameProfile(ini, "Work", ""));
    EXPECT_TRUE(RenameProfile(ini, "Work", "WORK"));  // its own section, in other letters
    ini.WriteString("Unlisted", "Password", "pw");  // saved, never listed, yet holding a password
    EXPECT_EQ(SavedProfiles(ini), (Names{"WORK", "Other", "Unlisted"}));
}

}  // namespace
}  // namespace vollum
