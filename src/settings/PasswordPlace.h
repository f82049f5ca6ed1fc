#pragma once

#include <QString>

class SecretStore;

// Where the account's password lives, and its moves between the two places.
//
// Off (the default, and the only way the original program knows): the password is NAME2 of
// [EXEINI] in the account file. On (KEYRING=1 in [MOFURIN] of the options file; any other value
// is off): the password is in the desktop's keyring under the account's ID, and NAME2 is left
// empty. A NAME2 that is not empty while the option is on is never older than the keyring's
// copy (it was saved while the keyring did not answer, the move's last step failed, or the
// original program wrote it), so it wins.
//
// No step ever loses the password: a place is emptied only after the other place confirmed
// that it holds it, and when the keyring does not answer the password stays in the file. Every
// message is one Japanese sentence for the user; the caller shows it.
//
// The keyring is asked on the calling thread: call these on the user-interface thread (see
// SecretStore.h).
class PasswordPlace
{
public:
    struct Paths
    {
        QString options;
        QString account;
    };

    // The program's own files (OptionsFilePath, AccountFilePath), or the given ones. The store
    // must outlive this object.
    explicit PasswordPlace(SecretStore& store);
    PasswordPlace(SecretStore& store, Paths paths);

    bool KeyringOn() const;

    struct Account
    {
        QString id;
        QString password; // empty when neither place holds one
        QString message;  // set when the keyring did not answer
        // The option is on, the file holds no password and the keyring gave none: it did not
        // answer, or (a locked keyring whose unlock was dismissed looks the same) it holds none
        // under the ID. An empty password is then not the saved one.
        bool passwordUnread = false;
    };
    // The saved account: for the mail check's login and for filling the account dialog. The
    // file's values are read the way the mail check has always read them (up to 255 bytes).
    Account Read() const;

    struct Outcome
    {
        bool done = false;
        QString message; // shown to the user whenever it is not empty, done or not
    };
    // Saves the ID and the password as a pair where the option says (NAME3 becomes 1, as the
    // account dialog's save always did). Values the file could not hold are refused in either
    // place, so the option can always be turned off again. Not done: nothing changed.
    Outcome SaveAccount(const QString& id, const QString& password);
    // Saves the account while keeping the saved password where it is, unseen (the keyring did
    // not give it): only for the saved ID, since a password the program cannot read cannot
    // follow a new one. Not done: nothing changed.
    Outcome SaveAccountKeepingPassword(const QString& id);

    // Turns the option on or off and moves the saved password with it. Not done: the option
    // and the password stay as they were, and the message says why.
    Outcome SetKeyringOn(bool on);

private:
    QString fullValue(const QString& key) const;
    bool writeAccount(const QString& key, const QString& value) const;
    bool writeKeyringOption(bool on) const;
    QString saveToFile(const QString& id, const QString& password) const;
    Outcome turnOn();
    Outcome turnOff();

    SecretStore& m_store;
    Paths m_paths;
};
