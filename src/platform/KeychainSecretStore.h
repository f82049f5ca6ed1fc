#pragma once

#include "platform/SecretStore.h"

// The desktop's keyring through QtKeychain: the Secret Service (GNOME Keyring, KeePassXC) or
// KWallet, whichever QtKeychain finds for the session. Entries are filed under the service
// name "mofurin", one per account name.
class KeychainSecretStore : public SecretStore
{
public:
    struct Timeouts
    {
        // Long enough for the user to type the keyring's password into the desktop's unlock
        // prompt; a keyring that never answers costs no more than this per call.
        int operationMs = 60000;
    };

    KeychainSecretStore() = default;
    explicit KeychainSecretStore(Timeouts timeouts) : m_timeouts(timeouts) {}

    Result Read(const QString& account) override;
    Result Write(const QString& account, const QString& secret) override;
    Result Remove(const QString& account) override;

    static inline const QString ServiceName = QStringLiteral("mofurin");

private:
    Timeouts m_timeouts;
};
