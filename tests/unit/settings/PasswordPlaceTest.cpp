// The password's moves between the account file and the keyring, against a store that can be
// made to fail in the ways a real keyring does. The real keyring is in tests/integration.
#include "settings/PasswordPlace.h"

#include "settings/ProfileFile.h"
#include "support/FakeSecretStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Status = SecretStore::Status;
using Entries = FakeSecretStore::Entries;
using FakeStore = FakeSecretStore;

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
                                  QStringLiteral("KEYRING"), QStringLiteral("-"))
            .toLatin1();
    }

    QTemporaryDir m_dir;
    PasswordPlace::Paths m_paths{m_dir.filePath(QStringLiteral("ini.ini")),
                                 m_dir.filePath(QStringLiteral("iniIdPass.ini"))};
    FakeStore m_store;
};

TEST_F(PasswordPlaceTest, MovesNeverEmptyAPlaceBeforeTheOtherHoldsThePassword)
{
    enum Fault
    {
        Ok,
        Down,     // the keyring does not answer
        Garbles,  // it gives back another password than it was given
        NoFolder, // the options file's folder is missing: the option cannot be written
    };
    const Entries none;
    const Entries neko{{Taro, Neko}};
    const Entries old{{Taro, QStringLiteral("old")}};
    const Entries cat{{Taro, QStringLiteral("neko\U0001F431")}}; // no Shift-JIS form
    const QByteArray& S = Saved;
    const QByteArray& E = Emptied;
    const struct
    {
        const char* name;
        bool on;
        QByteArray account;
        const char* option;
        Entries stored;
        Fault fault;
        bool done;
        QByteArray accountAfter;
        QByteArray optionAfter;
        Entries storedAfter;
    } cases[] = {
        // clang-format off
        {"on: moves",               true,  S, nullptr, none, Ok,       true,  E, "1", neko},
        {"on: keyring down",        true,  S, nullptr, none, Down,     false, S, "-", none},
        {"on: other password back", true,  S, "0",     none, Garbles,  false, S, "0", neko},
        {"on: none to move, down",  true,  E, nullptr, none, Down,     false, E, "-", none},
        {"on: option not written",  true,  S, nullptr, none, NoFolder, false, S, "-", neko},
        {"on: ends a stopped move", true,  S, "1",     neko, Ok,       true,  E, "1", neko},
        {"off: moves back",         false, E, "1",     neko, Ok,       true,  S, "0", none},
        {"off: down, file empty",   false, E, "1",     neko, Down,     false, E, "1", neko},
        {"off: down, file holds",   false, S, "1",     neko, Down,     true,  S, "0", neko},
        {"off: file's is newer",    false, S, "1",     old,  Ok,       true,  S, "0", none},
        {"off: file cannot hold",   false, E, "1",     cat,  Ok,       false, E, "1", cat},
        {"off: nothing stored",     false, E, "1",     none, Ok,       true,  E, "0", none},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        m_paths = {dir.filePath(c.fault == NoFolder ? QStringLiteral("missing/ini.ini")
                                                    : QStringLiteral("ini.ini")),
                   dir.filePath(QStringLiteral("iniIdPass.ini"))};
        prepare(c.account, c.option);
        m_store = FakeStore();
        m_store.entries = c.stored;
        m_store.down = c.fault == Down;
        m_store.garbles = c.fault == Garbles;

        const PasswordPlace::Outcome outcome = PasswordPlace(m_store, m_paths).SetKeyringOn(c.on);
        EXPECT_EQ(outcome.done, c.done);
        // Every refusal, and every move that left something behind, says so.
        if (!c.done || c.fault == Down) {
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
        bool unread; // an empty password is not the saved one
    } cases[] = {
        // clang-format off
        {Emptied, nullptr, false, {},                    false, false, false},
        {Emptied, "true",  false, {},                    false, false, false},
        {Saved,   "1",     false, Neko,                  false, false, false},
        {Emptied, " 1 ",   false, QStringLiteral("kuro"), true,  false, false},
        {Emptied, "1",     true,  {},                    true,  true,  true},
        // clang-format on
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
        EXPECT_EQ(account.passwordUnread, c.unread);
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
