#include "settings/ProfileFile.h"

#include "codepage/CodePage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Section = QStringLiteral("EXEINI");

class ProfileFileTest : public ::testing::Test
{
protected:
    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    static QByteArray Contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static void Put(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    static unsigned Mode(const QString& path)
    {
        struct stat st
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
    }

    QStringList Entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
    }

    QTemporaryDir m_dir;
};

TEST_F(ProfileFileTest, MissingFolderFileSectionOrKeyGiveTheDefault)
{
    const QString noFolder = PathOf(QStringLiteral("★MailData/iniIdPass.ini"));
    EXPECT_EQ(Profile::GetString(noFolder, Section, "NAME"), QString());
    EXPECT_EQ(Profile::GetString(noFolder, Section, "NAME", "def"), "def");
    EXPECT_EQ(Profile::GetInt(noFolder, Section, "NUMBER", 7), 7);

    const QString path = PathOf("ini.ini");
    Put(path, "[OTHER]\r\nNUMBER=1\r\n[EXEINI]\r\nNAME=\r\nEMPTY=\r\n");
    EXPECT_EQ(Profile::GetInt(path, Section, "NUMBER", 0), 0);
    EXPECT_EQ(Profile::GetInt(path, "NOSECTION", "NUMBER", 3), 3);
    EXPECT_EQ(Profile::GetInt(path, Section, "EMPTY", 5), 5);
    EXPECT_EQ(Profile::GetString(path, Section, "NAME", "def"), QString());
}

TEST_F(ProfileFileTest, NumberReadsItsLeadingInteger)
{
    const QString path = PathOf("ini.ini");
    const std::pair<const char*, int> cases[] = {{"1", 1}, {"2", 2}, {"a", 0}, {" \"1\" ", 1}};
    for (const auto& [text, expected] : cases) {
        Put(path, QByteArray("[EXEINI]\r\nNUMBER=") + text + "\r\n");
        EXPECT_EQ(Profile::GetInt(path, Section, "NUMBER", 0), expected) << text;
    }
}

TEST_F(ProfileFileTest, ValuesAreCutToTheBufferWithoutSplittingACharacter)
{
    const QString path = PathOf("iniIdPass.ini");
    const QString hyo = QStringLiteral("表"); // two bytes, the second a backslash
    struct Case
    {
        QString value;
        QString expected;
    };
    const Case cases[] = {
        {QString(300, u'x'), QString(255, u'x')},
        {hyo.repeated(128), hyo.repeated(127)},               // 256 bytes: 254 fit
        {u'a' + hyo.repeated(127), u'a' + hyo.repeated(127)}, // exactly 255 bytes
        {QStringLiteral("aa") + hyo.repeated(127),
         QStringLiteral("aa") + hyo.repeated(126)}, // the 255th byte is a lead byte
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Profile::WriteString(path, Section, "NAME", c.value));
        const QString read = Profile::GetString(path, Section, "NAME");
        EXPECT_EQ(read, c.expected);
        EXPECT_LE(ToCodePage(read).size(), 255);
    }
    EXPECT_EQ(Profile::GetString(path, Section, "NAME", QString(), 4), "aa"); // no half of 表
    EXPECT_EQ(Profile::GetString(path, Section, "NONE", QString(300, u'd')), QString(255, u'd'));
}

TEST_F(ProfileFileTest, ValuesTheReaderWouldChangeAreQuotedAndReadBackExactly)
{
    // Windows' reader, like ours, trims blanks and strips one pair of enclosing quotes.
    const QString path = PathOf("iniIdPass.ini");
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral(" user "), "\" user \""},
        {QStringLiteral("\tpass"), "\"\tpass\""},
        {QStringLiteral("\"quoted\""), "\"\"quoted\"\""},
        {QStringLiteral("'single'"), "\"'single'\""},
        {QStringLiteral("\""), "\"\"\""},
        {QStringLiteral("in \"the\" middle"), "in \"the\" middle"},
        {QStringLiteral("パス ワード"), ToCodePage(QStringLiteral("パス ワード"))},
    };
    for (const auto& [value, stored] : cases) {
        ASSERT_TRUE(Profile::WriteString(path, Section, "NAME2", value));
        EXPECT_EQ(Contents(path), "[EXEINI]\r\nNAME2=" + stored + "\r\n");
        EXPECT_EQ(Profile::GetString(path, Section, "NAME2"), value);
    }
}

TEST_F(ProfileFileTest, WindowsFileReadsTheSameAndKeepsEveryOtherByte)
{
    const QString path = PathOf("iniIdPass.ini");
    QFile::copy(MOFURIN_TEST_DATA "/settings/account_windows.ini", path);
    const QByteArray before = Contents(path);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(Profile::GetString(path, Section, "NAME"), QStringLiteral("もふりん表"));
    EXPECT_EQ(Profile::GetString(path, Section, "name2"), QStringLiteral("パス ワード"));

    // The confirm with the save box clear: only NAME3 changes.
    ASSERT_TRUE(Profile::WriteString(path, Section, "NAME3", "0"));
    QByteArray expected = before;
    expected.replace("NAME3=1", "NAME3=0");
    EXPECT_EQ(Contents(path), expected);

    ASSERT_TRUE(Profile::WriteString(path, Section, "NAME", QStringLiteral("新しい①")));
    EXPECT_EQ(Profile::GetString(path, Section, "NAME"), QStringLiteral("新しい①"));
    EXPECT_TRUE(Contents(path).contains(ToCodePage(QStringLiteral("NAME=新しい①\r\n"))));
    EXPECT_TRUE(Contents(path).startsWith(before.first(before.indexOf("NAME="))));
}

TEST_F(ProfileFileTest, WriteNeedsTheFolderAndNeverCreatesIt)
{
    const QString folder = PathOf(QStringLiteral("★MailData"));
    EXPECT_FALSE(Profile::WriteString(folder + "/ini.ini", Section, "NUMBER", "1"));
    EXPECT_FALSE(QFileInfo::exists(folder));

    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(Profile::WriteString(folder + "/ini.ini", Section, "NUMBER", "1"));
    EXPECT_EQ(Contents(folder + "/ini.ini"), QByteArray("[EXEINI]\r\nNUMBER=1\r\n"));
    EXPECT_EQ(Profile::GetInt(folder + "/ini.ini", Section, "NUMBER", 0), 1);
}

TEST_F(ProfileFileTest, OwnerOnlyFilesAreCreatedPrivateAndNeverWidened)
{
    const mode_t mask = ::umask(022);
    const QString secret = PathOf("iniIdPass.ini");
    ASSERT_TRUE(Profile::WriteString(secret, Section, "NAME2", "pw", Profile::FileMode::OwnerOnly));
    EXPECT_EQ(Mode(secret), 0600u);
    ASSERT_TRUE(Profile::WriteString(secret, Section, "NAME", "id", Profile::FileMode::Normal));
    EXPECT_EQ(Mode(secret), 0600u);

    const QString shared = PathOf("shared.ini");
    Put(shared, "[EXEINI]\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0640), 0);
    ASSERT_TRUE(Profile::WriteString(shared, Section, "NAME2", "pw", Profile::FileMode::OwnerOnly));
    EXPECT_EQ(Mode(shared), 0640u);

    const QString plain = PathOf("ini.ini");
    ASSERT_TRUE(Profile::WriteString(plain, Section, "NUMBER", "0"));
    EXPECT_EQ(Mode(plain), 0644u);
    ::umask(mask);
}

TEST_F(ProfileFileTest, LinkedFileIsUpdatedThroughTheLink)
{
    const QString real = PathOf("real.ini");
    const QString link = PathOf("ini.ini");
    Put(real, "[EXEINI]\r\nNUMBER=0\r\n");
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_TRUE(Profile::WriteString(link, Section, "NUMBER", "1"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Contents(real), QByteArray("[EXEINI]\r\nNUMBER=1\r\n"));
}

TEST_F(ProfileFileTest, FailedWriteLeavesTheOldFileWhole)
{
    const QString path = PathOf("iniIdPass.ini");
    const QByteArray old = "[EXEINI]\r\nNAME=old\r\nNAME2=secret\r\n";
    Put(path, old);

    // A full disk, as the kernel reports it: writes beyond this size fail with EFBIG.
    struct rlimit saved
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = Profile::WriteString(path, Section, "NAME", QString(8000, u'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(Contents(path), old);
    EXPECT_EQ(Entries(), QStringList{"iniIdPass.ini"}); // no temporary file left behind

    // Text that cannot be stored as typed is refused, not mangled.
    EXPECT_FALSE(Profile::WriteString(path, Section, "NAME", QStringLiteral("pass😀")));
    EXPECT_FALSE(Profile::WriteString(path, Section, "NAME", "a\nNAME2=evil"));
    EXPECT_EQ(Contents(path), old);
}

// A write that ends between creating its temporary file and renaming it (a crash, a power loss;
// here the kernel's file-size limit kills the writing process) leaves the temporary behind. It
// shows its bytes to its owner only, whatever the file's own permissions, and the file's next
// write removes it; another file's temporary stays.
TEST_F(ProfileFileTest, ATemporaryLeftByACrashIsPrivateAndGoesWithTheNextWrite)
{
    const mode_t mask = ::umask(022);
    const struct
    {
        const char* name;
        unsigned mode; // of the file before the write; 0: no file yet
        Profile::FileMode fileMode;
    } cases[] = {
        {"iniIdPass.ini", 0, Profile::FileMode::OwnerOnly},
        {"iniIdPass.ini", 0644, Profile::FileMode::OwnerOnly}, // as a copied folder brings it
        {"ini.ini", 0, Profile::FileMode::Normal},
        {"ini.ini", 0644, Profile::FileMode::Normal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.mode));
        QTemporaryDir dir;
        const QString path = dir.filePath(c.name);
        const QString other = dir.filePath(QStringLiteral(".vbmail.ini.tmp-0123abcd"));
        Put(other, "SMTP=x\r\n");
        if (c.mode != 0) {
            Put(path, "[EXEINI]\r\nNAME=taro\r\n");
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), c.mode), 0);
        }

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            struct rlimit small
            {
            };
            ::getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &small);
            std::signal(SIGXFSZ, SIG_DFL);
            Profile::WriteString(path, Section, "NAME2", QString(8000, u'p'), c.fileMode);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;

        const QStringList left =
            QDir(dir.path())
                .entryList({QStringLiteral(".") + c.name + QStringLiteral(".tmp-*")},
                           QDir::Files | QDir::Hidden);
        ASSERT_EQ(left.size(), 1);
        EXPECT_EQ(Mode(dir.filePath(left[0])), 0600u);

        ASSERT_TRUE(Profile::WriteString(path, Section, "NAME2", "pw", c.fileMode));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString(),
                  std::string(".vbmail.ini.tmp-0123abcd ") + c.name);
        EXPECT_EQ(Mode(path), c.mode != 0                                  ? c.mode
                              : c.fileMode == Profile::FileMode::OwnerOnly ? 0600u
                                                                           : 0644u);
    }
    ::umask(mask);
}

TEST_F(ProfileFileTest, ReadOnlyFolderRefusesTheWrite)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders; the disk-full case covers this";
    const QString path = PathOf("ini.ini");
    Put(path, "[EXEINI]\r\nNUMBER=0\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0555), 0);
    EXPECT_FALSE(Profile::WriteString(path, Section, "NUMBER", "1"));
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    EXPECT_EQ(Contents(path), QByteArray("[EXEINI]\r\nNUMBER=0\r\n"));
}

TEST_F(ProfileFileTest, FolderOrHugeFileAtThePathIsHandled)
{
    const QString folder = PathOf("ini.ini");
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(Profile::GetInt(folder, Section, "NUMBER", 0), 0);
    EXPECT_EQ(Profile::GetString(folder, Section, "NAME", "d"), "d");
    EXPECT_FALSE(Profile::WriteString(folder, Section, "NUMBER", "1"));
    EXPECT_TRUE(QFileInfo(folder).isDir());

    // Longer than anything the reader takes in: reads see its first part, writes refuse it
    // rather than drop the rest.
    const QString huge = PathOf("huge.ini");
    QByteArray bytes = "[EXEINI]\r\nNAME=first\r\n" + QByteArray(10 * 1024 * 1024, '\xff');
    Put(huge, bytes);
    EXPECT_EQ(Profile::GetString(huge, Section, "NAME"), "first");
    EXPECT_FALSE(Profile::WriteString(huge, Section, "NAME", "second"));
    EXPECT_EQ(QFileInfo(huge).size(), bytes.size());
}

} // namespace
