// The QtKeychain store and PasswordPlace against a real gnome-keyring-daemon, unlocked with a
// test password, on a private bus that keyring_fixture.py starts and stops.
#include "platform/KeychainSecretStore.h"
#include "settings/PasswordPlace.h"
#include "settings/ProfileFile.h"
#include "support/DbusMockFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

bool KeepRunningWhenSessionBusCloses();

namespace {

using Status = SecretStore::Status;

// The private bus with the keyring on it; see keyring_fixture.py.
class KeyringBus : public DbusMockFixture
{
public:
    KeyringBus() : DbusMockFixture("keyring_fixture.py") {}
};

const QByteArray Account = "[EXEINI]\r\nNAME=taro\r\nNAME2=neko-neko\r\nNAME3=1\r\n";

class KeyringTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_bus = std::make_unique<KeyringBus>();
        if (!s_bus->start(s_error))
            return;
        // Before the first job: QtKeychain picks its backend once, from the environment.
        qputenv("DBUS_SESSION_BUS_ADDRESS", s_bus->address().toUtf8());
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID"})
            qunsetenv(name);
        if (!KeepRunningWhenSessionBusCloses())
            s_error = QStringLiteral("cannot reach the private bus through GLib");
    }

    static void TearDownTestSuite()
    {
        if (s_bus)
            s_bus->stop();
        s_bus.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_error.isEmpty()) << qPrintable(s_error);
        // A new daemon for every test, as after a restart of the desktop's keyring: the store
        // must reach each new one over the connection it already had.
        ASSERT_EQ(s_bus->command(QStringLiteral("start-keyring")), QStringLiteral("ok"));
        ASSERT_TRUE(m_dir.isValid());
        QFile file(m_paths.account);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Account);
    }

    QString lookup(const QString& account)
    {
        return s_bus->command(QStringLiteral("lookup ") + account);
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QByteArray keyringOption() const
    {
        return Profile::GetString(m_paths.options, QStringLiteral("MOFURIN"),
                                  QStringLiteral("KEYRING"))
            .toLatin1();
    }

    static inline std::unique_ptr<KeyringBus> s_bus;
    static inline QString s_error;
    QTemporaryDir m_dir;
    PasswordPlace::Paths m_paths{m_dir.filePath(QStringLiteral("ini.ini")),
                                 m_dir.filePath(QStringLiteral("iniIdPass.ini"))};
    KeychainSecretStore m_store;
};

TEST_F(KeyringTest, StoreKeepsWhatItIsGivenPerAccount)
{
    const QString japanese = QStringLiteral("ねこ①パス word");
    const struct
    {
        QString account;
        QString secret;
    } cases[] = {{QStringLiteral("taro"), QStringLiteral("neko-neko")},
                 {QStringLiteral("taro@example.jp"), japanese},
                 {QStringLiteral("hanako"), QString(300, QLatin1Char('x'))}};
    for (const auto& c : cases) {
        EXPECT_EQ(m_store.Read(c.account).status, Status::NotFound) << qPrintable(c.account);
        EXPECT_EQ(m_store.Write(c.account, c.secret).status, Status::Ok);
    }
    for (const auto& c : cases) {
        const SecretStore::Result read = m_store.Read(c.account);
        EXPECT_EQ(read.status, Status::Ok) << qPrintable(read.detail);
        EXPECT_EQ(read.secret, c.secret);
        // What the keyring itself holds, read by another client.
        EXPECT_EQ(lookup(c.account), QStringLiteral("ok ") + c.secret);
    }
    EXPECT_EQ(m_store.Write(QStringLiteral("taro"), QStringLiteral("new")).status, Status::Ok);
    EXPECT_EQ(m_store.Read(QStringLiteral("taro")).secret, QStringLiteral("new"));
    for (const auto& c : cases) {
        EXPECT_EQ(m_store.Remove(c.account).status, Status::Ok);
        EXPECT_EQ(m_store.Remove(c.account).status, Status::Ok) << "nothing left to remove";
        EXPECT_EQ(lookup(c.account), QStringLiteral("none"));
    }
}

TEST_F(KeyringTest, PasswordMovesIntoTheKeyringAndBack)
{
    PasswordPlace place(m_store, m_paths);
    ASSERT_FALSE(place.KeyringOn());

    const PasswordPlace::Outcome on = place.SetKeyringOn(true);
    EXPECT_TRUE(on.done) << qPrintable(on.message);
    EXPECT_EQ(keyringOption(), "1");
    EXPECT_EQ(contents(m_paths.account), "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\n");
    EXPECT_EQ(lookup(QStringLiteral("taro")), QStringLiteral("ok neko-neko"));
    EXPECT_EQ(place.Read().password, QStringLiteral("neko-neko"));

    // A save with a new ID files the password under it and leaves none under the old one.
    const PasswordPlace::Outcome saved =
        place.SaveAccount(QStringLiteral("jiro"), QStringLiteral("tama"));
    EXPECT_TRUE(saved.done && saved.message.isEmpty()) << qPrintable(saved.message);
    EXPECT_EQ(contents(m_paths.account), "[EXEINI]\r\nNAME=jiro\r\nNAME2=\r\nNAME3=1\r\n");
    EXPECT_EQ(lookup(QStringLiteral("jiro")), QStringLiteral("ok tama"));
    EXPECT_EQ(lookup(QStringLiteral("taro")), QStringLiteral("none"));
    const PasswordPlace::Account account = place.Read();
    EXPECT_EQ(account.id, QStringLiteral("jiro"));
    EXPECT_EQ(account.password, QStringLiteral("tama"));

    const PasswordPlace::Outcome off = place.SetKeyringOn(false);
    EXPECT_TRUE(off.done && off.message.isEmpty()) << qPrintable(off.message);
    EXPECT_EQ(keyringOption(), "0");
    EXPECT_EQ(contents(m_paths.account), "[EXEINI]\r\nNAME=jiro\r\nNAME2=tama\r\nNAME3=1\r\n");
    EXPECT_EQ(lookup(QStringLiteral("jiro")), QStringLiteral("none"));
}

TEST_F(KeyringTest, AKeyringThatStopsAnsweringCostsOnlyTheTimeOut)
{
    KeychainSecretStore quick({1500});
    PasswordPlace place(quick, m_paths);
    ASSERT_EQ(s_bus->command(QStringLiteral("freeze-keyring")), QStringLiteral("ok"));
    QElapsedTimer timer;
    timer.start();
    const PasswordPlace::Outcome on = place.SetKeyringOn(true);
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_FALSE(on.done);
    EXPECT_FALSE(on.message.isEmpty());
    EXPECT_EQ(contents(m_paths.account), Account);
    EXPECT_FALSE(place.KeyringOn());

    // The late answer lands in a job that is still alive, and the keyring is usable again.
    ASSERT_EQ(s_bus->command(QStringLiteral("thaw-keyring")), QStringLiteral("ok"));
    EXPECT_EQ(m_store.Write(QStringLiteral("saburo"), QStringLiteral("mike")).status, Status::Ok);
    EXPECT_EQ(m_store.Read(QStringLiteral("saburo")).secret, QStringLiteral("mike"));
    EXPECT_EQ(m_store.Remove(QStringLiteral("saburo")).status, Status::Ok);
    m_store.Remove(QStringLiteral("taro"));
}

TEST_F(KeyringTest, ALockedKeyringThatStaysLockedDeletesNothing)
{
    ASSERT_EQ(m_store.Write(QStringLiteral("jiro"), QStringLiteral("tama")).status, Status::Ok);
    ASSERT_EQ(s_bus->command(QStringLiteral("lock-keyring")), QStringLiteral("ok"));
    PasswordPlace place(m_store, m_paths);

    // Nothing can be stored: the password stays in the file.
    const PasswordPlace::Outcome on = place.SetKeyringOn(true);
    EXPECT_FALSE(on.done);
    EXPECT_FALSE(on.message.isEmpty());
    EXPECT_EQ(contents(m_paths.account), Account);
    EXPECT_FALSE(place.KeyringOn());

    // A locked keyring reads as holding nothing (libsecret reports no error), so the check gets
    // no password and the option can be turned off; the keyring's copy must survive both.
    const QByteArray emptied = "[EXEINI]\r\nNAME=jiro\r\nNAME2=\r\nNAME3=1\r\n";
    QFile file(m_paths.account);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(emptied);
    file.close();
    ASSERT_TRUE(Profile::WriteString(m_paths.options, QStringLiteral("MOFURIN"),
                                     QStringLiteral("KEYRING"), QStringLiteral("1")));
    EXPECT_TRUE(place.Read().password.isEmpty());
    EXPECT_TRUE(place.SetKeyringOn(false).done);
    EXPECT_EQ(contents(m_paths.account), emptied);

    // Unlocked again (a restart with the password), the keyring still holds it.
    ASSERT_EQ(s_bus->command(QStringLiteral("start-keyring")), QStringLiteral("ok"));
    EXPECT_EQ(lookup(QStringLiteral("jiro")), QStringLiteral("ok tama"));
    m_store.Remove(QStringLiteral("jiro"));
}

TEST_F(KeyringTest, NoSecretServiceLeavesThePasswordInTheFile)
{
    ASSERT_EQ(s_bus->command(QStringLiteral("stop-keyring")), QStringLiteral("ok"));
    PasswordPlace place(m_store, m_paths);
    QElapsedTimer timer;
    timer.start();

    const PasswordPlace::Outcome on = place.SetKeyringOn(true);
    EXPECT_FALSE(on.done);
    EXPECT_TRUE(on.message.contains(QStringLiteral("キーリング"))) << qPrintable(on.message);
    EXPECT_EQ(contents(m_paths.account), Account);
    EXPECT_FALSE(place.KeyringOn());

    // With the option already on, a save keeps the password in the file and says so, and the
    // check reads it from there.
    ASSERT_TRUE(Profile::WriteString(m_paths.options, QStringLiteral("MOFURIN"),
                                     QStringLiteral("KEYRING"), QStringLiteral("1")));
    const PasswordPlace::Outcome saved =
        place.SaveAccount(QStringLiteral("taro"), QStringLiteral("kuro"));
    EXPECT_TRUE(saved.done);
    EXPECT_FALSE(saved.message.isEmpty());
    EXPECT_EQ(contents(m_paths.account), "[EXEINI]\r\nNAME=taro\r\nNAME2=kuro\r\nNAME3=1\r\n");
    EXPECT_EQ(place.Read().password, QStringLiteral("kuro"));

    // With nothing in the file either, the check gets no password and a sentence for the user.
    ASSERT_TRUE(Profile::WriteString(m_paths.account, QStringLiteral("EXEINI"),
                                     QStringLiteral("NAME2"), QString()));
    const PasswordPlace::Account account = place.Read();
    EXPECT_TRUE(account.password.isEmpty());
    EXPECT_FALSE(account.message.isEmpty());
    EXPECT_LT(timer.elapsed(), 2000) << "an absent service answers at once";
}

} // namespace
