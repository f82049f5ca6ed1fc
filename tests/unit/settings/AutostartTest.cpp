#include "settings/Autostart.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The Exec, TryExec and Path lines of the entry for an executable and a working folder.
QStringList KeyLines(const QByteArray& text)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")) || line.startsWith(QLatin1String("TryExec=")) ||
            line.startsWith(QLatin1String("Path=")))
            lines << line;
    }
    return lines;
}

TEST(AutostartTest, EntryQuotesTheProgramAndTheDesktopAcceptsIt)
{
    const struct
    {
        QString executable;
        QString workingFolder;
        QStringList lines;
    } cases[] = {
        {"/usr/lib/mofurin/mofurin",
         QString(),
         {R"(Exec="/usr/lib/mofurin/mofurin")", "TryExec=/usr/lib/mofurin/mofurin"}},
        {"/home/u/My Kitten/mofurin",
         "/home/u/猫",
         {R"(Exec="/home/u/My Kitten/mofurin")", "TryExec=/home/u/My Kitten/mofurin",
          "Path=/home/u/猫"}},
        // Inside the quotes ", `, $ and \ take a backslash, then every backslash of the value
        // is doubled; a literal % is written %%.
        {R"(/k/a"b`c$d\e%f/mofurin)",
         " /lead",
         {R"(Exec="/k/a\\"b\\`c\\$d\\\\e%%f/mofurin")", R"(TryExec=/k/a"b`c$d\\e%f/mofurin)",
          R"(Path=\s/lead)"}},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& c : cases) {
        QByteArray text;
        ASSERT_TRUE(Autostart::EntryText(c.executable, c.workingFolder, text));
        EXPECT_EQ(KeyLines(text), c.lines) << c.executable.toStdString();

        const QString path = dir.filePath(QStringLiteral("mofurin.desktop"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {path});
        ASSERT_TRUE(validate.waitForFinished(30000)) << "desktop-file-validate did not run";
        EXPECT_EQ(validate.exitCode(), 0)
            << c.executable.toStdString() << ": " << validate.readAllStandardOutput().toStdString();
    }

    // A line break in a path cannot be carried by an entry; it is refused with a reason.
    QByteArray text;
    QString error;
    EXPECT_FALSE(Autostart::EntryText(QStringLiteral("/k/a\nb/mofurin"), QString(), text, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(Autostart::EntryText(QStringLiteral("/k/mofurin"), QStringLiteral("/w\r"), text));
}

} // namespace
