#include "config/PasswordStore.h"

#include "common/Helpers.h"

namespace vollum {

PasswordStore PasswordStoreOf(const std::string& text) {
    // Written by hand as "Keyring" it means the same.
    const std::string word = LowerCaseName(text);
    if (word == "keyring") return PasswordStore::Keyring;
    if (word == "ask") return PasswordStore::Ask;
    return PasswordStore::File;
}

std::string PasswordStoreText(PasswordStore store) {
    switch (store) {
        case PasswordStore::Keyring: return "keyring";
        case PasswordStore::Ask: return "ask";
        case PasswordStore::File: break;
    }
    return "file";
}

}  // namespace vollum
