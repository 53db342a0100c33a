#pragma once
// Where a profile keeps its password and account (profile key PasswordStore).
#include <string>

namespace vollum {

enum class PasswordStore {
    File,     // Password and Account in VOLLUM.INI, as ever
    Keyring,  // one entry of the desktop keyring; none in VOLLUM.INI
    Ask,      // nowhere: asked for at each Connect
};

// "keyring", "file" or "ask"; anything else, a missing key included, is the file.
PasswordStore PasswordStoreOf(const std::string& text);
std::string PasswordStoreText(PasswordStore store);

}  // namespace vollum
