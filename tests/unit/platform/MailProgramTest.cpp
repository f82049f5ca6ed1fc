#include "platform/MailProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Which program a notification's click starts: the user's MAILER, else the desktop's mailto:
// handler as the desktop looks it up, else nothing and a sentence why.
TEST(MailProgram, TheUsersCommandThenTheDesktopsHandlerThenASentence)
{
    struct KeepEnvironment
    {
        QByteArray config = qgetenv("XDG_CONFIG_HOME"), data = qgetenv("XDG_DATA_HOME"),
                   dataDirs = qgetenv("XDG_DATA_DIRS"), configDirs = qgetenv("XDG_CONFIG_DIRS");
        ~KeepEnvironment()
        {
            qputenv("XDG_CONFIG_HOME", config);
            qputenv("XDG_DATA_HOME", data);
            qputenv("XDG_DATA_DIRS", dataDirs);
            qputenv("XDG_CONFIG_DIRS", configDirs);
        }
    } keep;
    QTemporaryDir top;
    ASSERT_TRUE(top.isValid());
    const QString stub = top.filePath(QStringLiteral("bin/mail stub"));
    write(stub, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    QFile::setPermissions(stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray quoted = "\"" + QFile::encodeName(stub) + "\"";
    const QString config = top.filePath(QStringLiteral("config"));
    const QString data = top.filePath(QStringLiteral("data"));
    const QString system = top.filePath(QStringLiteral("system"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(top.filePath(QStringLiteral("etc"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(system));
    const QString mimeapps = config + QStringLiteral("/mimeapps.list");
    write(system + QStringLiteral("/applications/kitten-mail.desktop"),
          "[Desktop Entry]\nType=Application\nExec=" + quoted + " --mail %u\n");
    write(system + QStringLiteral("/applications/gone.desktop"),
          "[Desktop Entry]\nExec=/nonexistent/mailer %u\n");

    struct Row
    {
        const char* what;
        QString mailer;
        QByteArray mimeapps;        // empty: none
        QList<QByteArray> expected; // empty: nothing, with a sentence
    };
    const QByteArray program = QFile::encodeName(stub);
    const Row rows[] = {
        {"the desktop's handler",
         {},
         "[Added Associations]\nx-scheme-handler/mailto=gone.desktop;\n"
         "[Default Applications]\nx-scheme-handler/mailto=gone.desktop;kitten-mail.desktop;\n",
         {program, "--mail"}},
        {"a handler under the vendor's folder",
         {},
         "[Default Applications]\nx-scheme-handler/mailto=vendor-app.desktop\n",
         {program, "--vendor"}},
        {"the user's command wins",
         QString::fromUtf8(quoted + " -compose 'a b'"),
         "[Default Applications]\nx-scheme-handler/mailto=kitten-mail.desktop\n",
         {program, "-compose", "a b"}},
        {"a command that is not there", QStringLiteral("/nonexistent/mailer"), {}, {}},
        {"a handler that is not there",
         {},
         "[Default Applications]\nx-scheme-handler/mailto=gone.desktop\n",
         {}},
        {"no handler at all", {}, {}, {}},
    };
    write(data + QStringLiteral("/applications/vendor/app.desktop"),
          "[Desktop Entry]\nExec=" + quoted + " --vendor\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(mimeapps);
        if (!row.mimeapps.isEmpty())
            write(mimeapps, row.mimeapps);
        QString error;
        const std::optional<QList<QByteArray>> found = MailProgram::Find(row.mailer, &error);
        if (row.expected.isEmpty()) {
            EXPECT_FALSE(found.has_value());
            EXPECT_TRUE(error.contains(QStringLiteral("メールソフト"))) << qPrintable(error);
        } else {
            ASSERT_TRUE(found.has_value()) << qPrintable(error);
            EXPECT_EQ(*found, row.expected);
        }
    }

    // Opening starts it by itself, without a shell and without an address.
    write(mimeapps, "[Default Applications]\nx-scheme-handler/mailto=kitten-mail.desktop\n");
    QString error;
    ASSERT_TRUE(MailProgram::Open({}, &error)) << qPrintable(error);
    QFile args(stub + QStringLiteral(".args"));
    QElapsedTimer waited;
    waited.start();
    while (!args.exists() && waited.elapsed() < 5000)
        QThread::msleep(20);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll(), "--mail\n");
}

} // namespace
