// The password's moves between the account file and the keyring, against a store that can be
// made to fail in the ways a real keyring does. The real keyring is in tests/integration.
#include "settings/PasswordPlace.h"

#include "platform/SecretStore.h"
#include "settings/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using Status = SecretStore::Status;
using Entries = std::map<QString, QString>;

class FakeStore : public SecretStore
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

    Entries entries;
    bool down = false;
    bool garbles = false; // gives back something other than it was given
    int calls = 0;
};

const QByteArray Saved = "[EXEINI]\r\nNAME=taro\r\nNAME2=neko\r\n";
const QByteArray Emptied = "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\n";
const QString Taro = QStringLiteral("taro");
const QString Neko = QStringLiteral("neko");

class PasswordPlaceTest : public ::testing::Test
{
protected:
    void put(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // The account file and, unless option is null, the options file with that KEYRING value.
    void prepare(const QByteArray& account, const char* option)
    {
        put(m_paths.account, account);
        if (option != nullptr)
            put(m_paths.options, QByteArray("[MOFURIN]\r\nKEYRING=") + option + "\r\n");
    }
    QByteArray option() const
    {
        return Profile::GetString(m_paths.options, QStringLiteral("MOFURIN"),
                                  QStringLiteral("KEYRING"), QStringLiteral("<none>"))
            .toLatin1();
    }

    QTemporaryDir m_dir;
    PasswordPlace::Paths m_paths{m_dir.filePath(QStringLiteral("ini.ini")),
                                 m_dir.filePath(QStringLiteral("iniIdPass.ini"))};
    FakeStore m_store;
};

TEST_F(PasswordPlaceTest, MovesNeverEmptyAPlaceBeforeTheOtherHoldsThePassword)
{
    const struct
    {
        const char* name;
        bool on;
        QByteArray account;
        const char* option;
        Entries stored;
        bool down;
        bool garbles;
        bool optionsFolderMissing;
        bool done;
        QByteArray accountAfter;
        QByteArray optionAfter;
        Entries storedAfter;
    } cases[] = {
        {"on: moves",
         true,
         Saved,
         nullptr,
         {},
         false,
         false,
         false,
         true,
         Emptied,
         "1",
         {{Taro, Neko}}},
        {"on: keyring down",
         true,
         Saved,
         nullptr,
         {},
         true,
         false,
         false,
         false,
         Saved,
         "<none>",
         {}},
        {"on: keyring gives back another password",
         true,
         Saved,
         "0",
         {},
         false,
         true,
         false,
         false,
         Saved,
         "0",
         {{Taro, Neko}}},
        {"on: nothing to move, keyring down",
         true,
         Emptied,
         nullptr,
         {},
         true,
         false,
         false,
         false,
         Emptied,
         "<none>",
         {}},
        {"on: the option cannot be written",
         true,
         Saved,
         nullptr,
         {},
         false,
         false,
         true,
         false,
         Saved,
         "<none>",
         {{Taro, Neko}}},
        {"on: finishes a move that stopped",
         true,
         Saved,
         "1",
         {{Taro, Neko}},
         false,
         false,
         false,
         true,
         Emptied,
         "1",
         {{Taro, Neko}}},
        {"off: moves back",
         false,
         Emptied,
         "1",
         {{Taro, Neko}},
         false,
         false,
         false,
         true,
         Saved,
         "0",
         {}},
        {"off: keyring down, file empty",
         false,
         Emptied,
         "1",
         {{Taro, Neko}},
         true,
         false,
         false,
         false,
         Emptied,
         "1",
         {{Taro, Neko}}},
        {"off: keyring down, file holds one",
         false,
         Saved,
         "1",
         {{Taro, Neko}},
         true,
         false,
         false,
         true,
         Saved,
         "0",
         {{Taro, Neko}}},
        {"off: the file's password is newer",
         false,
         Saved,
         "1",
         {{Taro, QStringLiteral("old")}},
         false,
         false,
         false,
         true,
         Saved,
         "0",
         {}},
        {"off: a password the file cannot hold",
         false,
         Emptied,
         "1",
         {{Taro, QStringLiteral("neko\U0001F431")}},
         false,
         false,
         false,
         false,
         Emptied,
         "1",
         {{Taro, QStringLiteral("neko\U0001F431")}}},
        {"off: nothing stored",
         false,
         Emptied,
         "1",
         {},
         false,
         false,
         false,
         true,
         Emptied,
         "0",
         {}},
        {"off: already off",
         false,
         Saved,
         "0",
         {{Taro, Neko}},
         false,
         false,
         false,
         true,
         Saved,
         "0",
         {{Taro, Neko}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        m_paths = {dir.filePath(c.optionsFolderMissing ? QStringLiteral("missing/ini.ini")
                                                       : QStringLiteral("ini.ini")),
                   dir.filePath(QStringLiteral("iniIdPass.ini"))};
        prepare(c.account, c.option);
        m_store = FakeStore();
        m_store.entries = c.stored;
        m_store.down = c.down;
        m_store.garbles = c.garbles;

        const PasswordPlace::Outcome outcome = PasswordPlace(m_store, m_paths).SetKeyringOn(c.on);
        EXPECT_EQ(outcome.done, c.done);
        // Every refusal, and every move that left something behind, says so.
        if (!c.done || c.down) {
            EXPECT_FALSE(outcome.message.isEmpty());
        }
        EXPECT_EQ(contents(m_paths.account), c.accountAfter);
        EXPECT_EQ(option(), c.optionAfter);
        EXPECT_EQ(m_store.entries, c.storedAfter);
    }
}

TEST_F(PasswordPlaceTest, TheCheckReadsTheFileFirstAndTheKeyringOnlyWhenOn)
{
    const struct
    {
        QByteArray account;
        const char* option;
        bool down;
        QString password;
        bool asksKeyring;
        bool message;
    } cases[] = {
        {Emptied, nullptr, false, {}, false, false},
        {Emptied, "0", false, {}, false, false},
        {Emptied, "true", false, {}, false, false},
        {Saved, "1", false, Neko, false, false},
        {Emptied, "1", false, QStringLiteral("kuro"), true, false},
        {Emptied, " 1 ", false, QStringLiteral("kuro"), true, false},
        {Emptied, "1", true, {}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option == nullptr ? "no option" : c.option);
        prepare(c.account, c.option);
        m_store = FakeStore();
        m_store.entries = {{Taro, QStringLiteral("kuro")}};
        m_store.down = c.down;
        const PasswordPlace::Account account = PasswordPlace(m_store, m_paths).Read();
        EXPECT_EQ(account.id, Taro);
        EXPECT_EQ(account.password, c.password);
        EXPECT_EQ(m_store.calls > 0, c.asksKeyring);
        EXPECT_EQ(!account.message.isEmpty(), c.message);
    }
}

TEST_F(PasswordPlaceTest, ASaveWithTheOptionOnFallsBackToTheFile)
{
    prepare(Saved, "1");
    PasswordPlace place(m_store, m_paths);

    // A character the file could not hold is refused in the keyring too.
    EXPECT_FALSE(place.SaveAccount(Taro, QStringLiteral("neko\U0001F431")).done);
    EXPECT_EQ(m_store.calls, 0);
    EXPECT_EQ(contents(m_paths.account), Saved);

    m_store.down = true;
    const PasswordPlace::Outcome kept = place.SaveAccount(Taro, QStringLiteral("tama"));
    EXPECT_TRUE(kept.done);
    EXPECT_FALSE(kept.message.isEmpty());
    EXPECT_EQ(contents(m_paths.account), "[EXEINI]\r\nNAME=taro\r\nNAME2=tama\r\nNAME3=1\r\n");

    m_store.down = false;
    EXPECT_TRUE(place.SaveAccount(Taro, QStringLiteral("mike")).done);
    EXPECT_EQ(contents(m_paths.account), "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\n");
    EXPECT_EQ(m_store.entries, (Entries{{Taro, QStringLiteral("mike")}}));
}

} // namespace
