// The browser object against stand-in xdg-open scripts on PATH.
#include "platform/Browser.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class BrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bin.isValid());
        m_oldPath = qgetenv("PATH");
        // Only the stand-in folder and the basic tools the scripts need.
        qputenv("PATH", m_bin.path().toUtf8() + ":/usr/bin:/bin");
    }
    void TearDown() override { qputenv("PATH", m_oldPath); }

    // An xdg-open that writes each argument on its own line to the log, then runs `tail`.
    void installLauncher(const QString& tail)
    {
        QFile script(m_bin.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "echo $$ > '%1.pid'\n"
                                    "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1'; done\n"
                                    "%2\n")
                         .arg(log(), tail)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString log() const { return m_bin.filePath(QStringLiteral("opened.txt")); }

    QStringList opened() const
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_bin;
    QByteArray m_oldPath;
};

TEST_F(BrowserTest, HandsTheAddressToTheLauncherAsOneArgument)
{
    installLauncher(QStringLiteral("exit 0"));
    BrowserObject browser;
    browser.Visible = true;
    EXPECT_TRUE(browser.Navigate(QStringLiteral("https://mofurin.example/")));
    EXPECT_EQ(opened(), QStringList{QStringLiteral("https://mofurin.example/")});

    // Nothing in the address reaches a shell: quotes, separators and spaces stay in the one
    // argument (spaces and quotes percent-encoded as in any address).
    QFile::remove(log());
    EXPECT_TRUE(browser.Navigate(QStringLiteral("https://a.example/x?q=1;touch /tmp/x&y='z' w")));
    const QStringList seen = opened();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen.constFirst().startsWith(u"https://a.example/x?q=1;touch%20/tmp/x&y="))
        << qPrintable(seen.constFirst());
}

TEST_F(BrowserTest, ReportsALauncherThatFailsOrIsMissing)
{
    BrowserObject browser;
    // No xdg-open on PATH at all.
    EXPECT_FALSE(browser.Navigate(QStringLiteral("https://mofurin.example/")));

    // xdg-open finds no browser (it exits 3 when no tool is found).
    installLauncher(QStringLiteral("exit 3"));
    EXPECT_FALSE(browser.Navigate(QStringLiteral("https://mofurin.example/")));
    EXPECT_EQ(opened().size(), 1);

    // A launcher that is there but cannot be run.
    QFile::setPermissions(m_bin.filePath(QStringLiteral("xdg-open")),
                          QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(browser.Navigate(QStringLiteral("https://mofurin.example/")));

    // Nothing to open is never handed on.
    installLauncher(QStringLiteral("exit 0"));
    QFile::remove(log());
    EXPECT_FALSE(browser.Navigate(QString()));
    EXPECT_TRUE(opened().isEmpty());
}

TEST_F(BrowserTest, ALauncherStillRunningAfterTheWaitHasTheBrowserOpen)
{
    // Like xdg-open on a desktop without a URL service: it runs the browser in the foreground.
    installLauncher(QStringLiteral("exec sleep 2"));
    BrowserObject browser;
    browser.LauncherTimeoutMs = 300;
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(browser.Navigate(QStringLiteral("https://mofurin.example/")));
    EXPECT_LT(timer.elapsed(), 1500);

    // The "browser" is not killed when Navigate returns; it ends on its own.
    QFile pidFile(log() + QStringLiteral(".pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const QString proc =
        QStringLiteral("/proc/") + QString::fromLatin1(pidFile.readAll().trimmed());
    EXPECT_TRUE(QFile::exists(proc));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(proc), 5000);
}

} // namespace
