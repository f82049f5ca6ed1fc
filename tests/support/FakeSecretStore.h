#pragma once

// A keyring that can be made to fail in the ways a real one does: not answering at all, or
// giving back something other than it was given. The real keyring is in tests/integration.
#include "platform/SecretStore.h"

#include <map>

class FakeSecretStore : public SecretStore
{
public:
    Result Read(const QString& account) override
    {
        ++calls;
        if (down)
            return {Status::Unavailable, {}, QStringLiteral("down"), {}};
        const auto it = entries.find(account);
        if (it == entries.end())
            return {Status::NotFound, {}, {}, {}};
        return {Status::Ok, garbles ? it->second + QLatin1Char('?') : it->second, {}, {}};
    }
    Result Write(const QString& account, const QString& secret) override
    {
        ++calls;
        if (down)
            return {Status::Unavailable, {}, QStringLiteral("down"), {}};
        entries[account] = secret;
        return {Status::Ok, {}, {}, {}};
    }
    Result Remove(const QString& account) override
    {
        ++calls;
        if (down)
            return {Status::Unavailable, {}, QStringLiteral("down"), {}};
        entries.erase(account);
        return {Status::Ok, {}, {}, {}};
    }

    using Entries = std::map<QString, QString>;
    Entries entries;
    bool down = false;
    bool garbles = false; // gives back something other than it was given
    int calls = 0;
};
