#pragma once

#include <QString>

// A place for one secret per account name outside the settings files: the desktop's keyring.
// Every call waits for the store's answer, within a time-out.
//
// Call it on the user-interface thread only (the thread that owns the application object):
// the keyring answers through that thread's event loop, which runs while a call waits. The
// wait does not handle user input, so no click can start a second call meanwhile, but timers
// and repaints go on; a keyring that asks the user to unlock it does so in a window of its own.
class SecretStore
{
public:
    enum class Status
    {
        Ok,         // done; for a read, secret holds the password
        NotFound,   // the store answered: it holds nothing under that name
        Unavailable // no store answered, it refused (locked and not unlocked) or it failed
    };

    struct Result
    {
        Status status = Status::Unavailable;
        QString secret; // a read's answer, when status is Ok
        QString error;  // one Japanese sentence when Unavailable, otherwise empty
        QString detail; // the store's own words about the failure, for a log; may be empty
    };

    virtual ~SecretStore() = default;

    virtual Result Read(const QString& account) = 0;
    virtual Result Write(const QString& account, const QString& secret) = 0;
    // Removing a name the store does not hold is Ok: afterwards it holds nothing either way.
    virtual Result Remove(const QString& account) = 0;
};
