// Passwords in the desktop keyring, against a Secret Service of the test's own
// and pyftpdlib: saved from the setup dialog, read back by Connect and by drop
// and spool runs, moved by rename and --move-passwords-to-keyring, and every way
// a keyring can fail a run. The dialog and Connect run in the driver program.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <functional>
#include <memory>

#include "support/KeyringSession.h"
#include "support/PyFtpServer.h"
#include "support/VollumRun.h"

namespace vollum::test {

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

class Keyring : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_KEYRING_TOOLS(); }

    // One step of the dialog or Connect in the driver; its output.
    std::string Drive(const std::vector<std::string>& args) const {
        QStringList list{QString::fromStdString(program.Path())};
        for (const std::string& arg : args) list << QString::fromStdString(arg);
        QProcess driver;
        driver.start(QString(VOLLUM_BINARY_DIR) + "/tests/vollum_keyring_driver", list);
        if (!driver.waitForFinished(90000)) {
            driver.kill();
            driver.waitForFinished(5000);
            ADD_FAILURE() << "the driver did not end: " << args.front();
        }
        EXPECT_EQ(driver.exitCode(), 0) << args.front() << ": " << driver.readAllStandardError().toStdString();
        return driver.readAllStandardOutput().toStdString();
    }
    bool IniHoldsPassword() const { return Has(ReadFile(program.Ini()), server.Password()); }
    std::string Uploaded(const std::string& name) const { return server.Root() + "/" + name; }

    PyFtpServer server;
    VollumProgramDir program;
};

TEST_F(Keyring, EachStoreSavedInSetupServesConnectAndDropRuns) {
    KeyringSession keyring;
    ASSERT_TRUE(keyring.Started());
    struct Case {
        std::string store;
        bool inFile;  // the password is in VOLLUM.INI
        int dropExit;
    };
    // The file last: until then VOLLUM.INI must hold the password nowhere, byte for byte.
    for (const Case& c : {Case{"keyring", false, 0}, Case{"ask", false, 4}, Case{"file", true, 0}}) {
        SCOPED_TRACE(c.store);
        const std::string profile = "p-" + c.store;
        // A new profile's default, where a keyring answers, is the keyring.
        const std::string saved = Drive({"save", profile, server.PortText(), c.store == "keyring" ? "default" : c.store,
                                         server.Password()});
        EXPECT_FALSE(Has(saved, "shown:")) << saved;
        EXPECT_EQ(IniHoldsPassword(), c.inFile);
        EXPECT_EQ(program.IniValue(profile, "PasswordStore"), c.store == "file" ? "<missing>" : c.store);

        // Connect logs in; only "ask" asks, and what is typed is written nowhere.
        const std::string connect = Drive({"connect", server.Password()});
        EXPECT_TRUE(Has(connect, "pane: 230")) << connect;
        EXPECT_EQ(Has(connect, "shown: Password for profile \"" + profile + "\":"), c.store == "ask") << connect;
        EXPECT_EQ(IniHoldsPassword(), c.inFile);

        const std::string file = "up-" + c.store;
        WriteFile(program.Path() + "/" + file, "data");
        const VollumResult drop = program.Run({file});
        EXPECT_EQ(drop.exitCode, c.dropExit) << drop.stderrText;
        EXPECT_EQ(std::filesystem::exists(Uploaded(file)), c.dropExit == 0);
        if (c.store == "ask") {
            const std::string line = "No password for profile \"p-ask\": it is not saved but asked for at each Connect";
            EXPECT_TRUE(Has(drop.stderrText, line)) << drop.stderrText;
            EXPECT_TRUE(Has(program.LogText(), line));
        }
    }
}

TEST_F(Keyring, AKeyringThatFailsNeverHangsARunNorCostsAPassword) {
    // A login keyring holding the profile's password, to be found locked later.
    TempDir home;
    {
        KeyringSession first(true, home.Path());
        ASSERT_TRUE(first.Started());
        Drive({"save", "test", server.PortText(), "keyring", server.Password()});
    }
    constexpr int kTimeOutSeconds = 3;
    struct Case {
        const char* name;
        std::function<std::unique_ptr<KeyringSession>()> keyring;  // nullptr: no session bus
    };
    const std::vector<Case> cases = {
        {"locked", [&] { return std::make_unique<KeyringSession>(false, home.Path()); }},
        {"stuck",
         [] {
             auto k = std::make_unique<KeyringSession>();
             k->PauseDaemon();
             return k;
         }},
        {"killed",
         [] {
             auto k = std::make_unique<KeyringSession>();
             k->KillDaemon();
             return k;
         }},
        {"no session bus", [] { return nullptr; }},
    };
    const std::string line = "No password for profile \"test\": the keyring did not answer";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<KeyringSession> keyring = c.keyring();
        // A spool run: nothing sent, nothing deleted, the key left armed.
        program.WriteIni(server.Port(), server.User(), "", true,
                         {{"PasswordStore", "keyring"},
                          {"ConnectionTimeOut", std::to_string(kTimeOutSeconds)},
                          {"Anonymous", "0"}});
        PutFile(program.Spool() + "/s.txt", "spooled");
        QElapsedTimer clock;
        clock.start();
        const VollumResult run = program.Run();
        EXPECT_EQ(run.exitCode, 4) << run.stderrText;
        EXPECT_LT(clock.elapsed(), (kTimeOutSeconds + 20) * 1000);  // the loaded machine's start-up included
        if (std::string(c.name) == "stuck") {
            EXPECT_GE(clock.elapsed(), kTimeOutSeconds * 1000 - 100);  // it did wait for the keyring
        }
        EXPECT_TRUE(Has(run.stderrText, line)) << run.stderrText;
        EXPECT_TRUE(Has(program.LogText(), line));
        EXPECT_TRUE(std::filesystem::exists(program.Spool() + "/s.txt"));
        EXPECT_FALSE(std::filesystem::exists(Uploaded("s.txt")));
        EXPECT_EQ(program.IniValue("SpoolBay", "Executed"), "1");

        // Connect asks (after asking the keyring again) and logs in with what is typed.
        const std::string connect = Drive({"connect", server.Password()});
        EXPECT_TRUE(Has(connect, "shown: The keyring did not give the password of profile \"test\"")) << connect;
        EXPECT_TRUE(Has(connect, "pane: 230")) << connect;
    }

    // A keyring that refuses the write (locked) leaves the password in the file, and says why.
    KeyringSession locked(false, home.Path());
    program.WriteIni(server.Port(), server.User(), server.Password(), false);
    const std::string saved = Drive({"save", "test", server.PortText(), "keyring", server.Password()});
    EXPECT_TRUE(Has(saved, "shown: The keyring did not take the password of profile \"test\"")) << saved;
    EXPECT_EQ(program.IniValue("test", "Password"), server.Password());
    EXPECT_NE(program.IniValue("test", "PasswordStore"), "keyring");
}

TEST_F(Keyring, MoveRenameAndDeleteCarryTheEntry) {
    program.WriteIni(server.Port(), server.User(), server.Password(), false, {{"Account", "acct"}});
    // Without a keyring nothing moves, and the file stays as it was.
    const std::string before = ReadFile(program.Ini());
    VollumResult move = program.Run({"--move-passwords-to-keyring"});
    EXPECT_EQ(move.exitCode, 4);
    EXPECT_TRUE(Has(move.stdoutText, "Profile \"test\": kept in VOLLUM.INI")) << move.stdoutText;
    EXPECT_EQ(ReadFile(program.Ini()), before);
    // Nor does a new profile's default look for one: the file, as ever.
    Drive({"save", "fresh", server.PortText(), "default", "typed"});
    EXPECT_EQ(program.IniValue("fresh", "Password"), "typed");
    EXPECT_EQ(program.IniValue("fresh", "PasswordStore"), "<missing>");
    WriteFile(program.Ini(), before);

    KeyringSession keyring;
    ASSERT_TRUE(keyring.Started());
    move = program.Run({"--move-passwords-to-keyring"});
    EXPECT_EQ(move.exitCode, 0) << move.stdoutText;
    EXPECT_TRUE(Has(move.stdoutText, "Profile \"test\": moved to the keyring")) << move.stdoutText;
    EXPECT_FALSE(IniHoldsPassword());
    EXPECT_FALSE(Has(ReadFile(program.Ini()), "acct"));
    EXPECT_EQ(Drive({"read", "test"}), "secret: " + server.Password() + "\n");

    Drive({"rename", "test", "moved"});
    EXPECT_EQ(Drive({"read", "moved"}), "secret: " + server.Password() + "\n");
    EXPECT_TRUE(Has(Drive({"read", "test"}), "none:"));
    EXPECT_EQ(program.IniValue("moved", "PasswordStore"), "keyring");
    EXPECT_EQ(program.IniValue("LastUsed", "NAME"), "moved");
    WriteFile(program.Path() + "/renamed", "data");
    EXPECT_EQ(program.Run({"renamed"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(Uploaded("renamed")));

    Drive({"delete", "moved"});
    EXPECT_TRUE(Has(Drive({"read", "moved"}), "none:"));
}

}  // namespace vollum::test
