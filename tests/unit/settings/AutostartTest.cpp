#include "settings/Autostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// GLib's own reading of the entry: the key file, Exec split by g_shell_parse_argv as the
// desktop checks it on loading and, after its %% became %, as it starts it; TryExec must be an
// executable. True when it starts the program file at programPath.
bool GLibStartsProgram(const QByteArray& text, const QByteArray& programPath)
{
    GKeyFile* file = g_key_file_new();
    bool starts = false;
    if (g_key_file_load_from_data(file, text.constData(), gsize(text.size()), G_KEY_FILE_NONE,
                                  nullptr)) {
        gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
        gchar* tryExec = g_key_file_get_string(file, "Desktop Entry", "TryExec", nullptr);
        const auto findsFirstWord = [](const QByteArray& line, QByteArray* word) {
            gchar** argv = nullptr;
            if (!g_shell_parse_argv(line.constData(), nullptr, &argv, nullptr))
                return false;
            gchar* found = g_find_program_in_path(argv[0]);
            *word = argv[0];
            g_strfreev(argv);
            g_free(found);
            return found != nullptr;
        };
        QByteArray checked, started;
        struct stat a = {}, b = {};
        starts = exec != nullptr && findsFirstWord(exec, &checked) &&
                 findsFirstWord(QByteArray(exec).replace("%%", "%"), &started) &&
                 ::stat(started.constData(), &a) == 0 && ::stat(programPath.constData(), &b) == 0 &&
                 a.st_ino == b.st_ino && a.st_dev == b.st_dev;
        if (tryExec != nullptr) {
            gchar* found = g_find_program_in_path(tryExec);
            starts = starts && found != nullptr;
            g_free(found);
        }
        g_free(exec);
        g_free(tryExec);
    }
    g_key_file_free(file);
    return starts;
}

// After writing the entry, the program reads it back as the desktop does; an entry that would
// not start this program is removed again and the reason given, so the box never claims a start
// at login that will not happen. GLib's reading of every entry agrees with the program's.
TEST(AutostartTest, AnEntryTheDesktopWouldNotStartIsRemovedWithTheReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    const QString entry = dir.filePath(QStringLiteral("mofurin.desktop"));
    const struct
    {
        QByteArray folder; // the program's folder, as the file system's bytes
        bool starts;
    } cases[] = {
        {"My Kitten", true},
        {"猫の家", true},
        {R"(a"b`c$d\e'f #g)", true},
        {"50%off", false}, // the desktop looks for ".../50%%off/mofurin" on loading
        {"a\xff\xfe"
         "b",
         false}, // not UTF-8: Qt gives no path for the program
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        const QByteArray folder = root + c.folder;
        const QByteArray program = folder + "/mofurin";
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
        {
            FILE* f = std::fopen(program.constData(), "w");
            ASSERT_NE(f, nullptr);
            std::fputs("#!/bin/sh\n", f);
            std::fclose(f);
        }
        ASSERT_EQ(::chmod(program.constData(), 0755), 0);
        // What Qt gives for the running program's path: nothing where it is not UTF-8.
        const QString executable = QFile::encodeName(QFile::decodeName(program)) == program
                                       ? QFile::decodeName(program)
                                       : QString();

        QByteArray text;
        ASSERT_TRUE(Autostart::EntryText(executable, dir.path(), text));
        EXPECT_EQ(GLibStartsProgram(text, program), c.starts);
        EXPECT_EQ(Autostart::StartsProgram(text, program), c.starts);

        QString error;
        EXPECT_EQ(Autostart::WriteEntry(entry, executable, dir.path(), program, &error), c.starts);
        EXPECT_EQ(QFile::exists(entry), c.starts);
        EXPECT_EQ(error.isEmpty(), c.starts) << error.toStdString();
        QFile::remove(entry);
    }
}

} // namespace
