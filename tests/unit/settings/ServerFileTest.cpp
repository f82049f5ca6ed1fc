#include "settings/ServerFile.h"

#include "codepage/CodePage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

MailSettingsRecord Preset()
{
    MailSettingsRecord r;
    r.SmtpServer = "old-smtp";
    r.Pop3Server = "old-pop";
    r.MailAddress = "old@mail";
    r.UseApop = 7;
    return r;
}

TEST(ServerFile, ParsesLinesByTheirExactPrefix)
{
    struct Case
    {
        QByteArray file;
        QString smtp, pop3, mail;
        qint16 apop;
    };
    const QString S150 = QString(150, u's');
    const Case cases[] = {
        {"", "old-smtp", "old-pop", "old@mail", 7},
        {"POP3=", "old-smtp", "", "old@mail", 7},
        {"pop3=lower\r\n POP3=blank\r\nPOP3 =x\r\nPOP", "old-smtp", "old-pop", "old@mail", 7},
        {"POP3=first\r\nPOP3=second\r\n", "old-smtp", "second", "old@mail", 7},
        {"SMTP=" + S150.toLatin1() + "\r\n", S150.left(100), "old-pop", "old@mail", 7},
        {"SMTP= padded \r\nMAIL=a@b\r\nAPOP=1\r\n", " padded ", "old-pop", "a@b", 1},
        // LF alone, CR alone and CR LF all end a line.
        {"SMTP=a\nPOP3=b\rMAIL=c\r\nAPOP=0", "a", "b", "c", 0},
        {"SMTP=a\r\r\nPOP3=b\n\n", "a", "b", "old@mail", 7},
        // Characters, not bytes: 100 double-byte characters fill the value.
        {ToCodePage("MAIL=" + QStringLiteral("表").repeated(120)), "old-smtp", "old-pop",
         QStringLiteral("表").repeated(100), 7},
        {"MAIL=\x82\xff@x\r\n", "old-smtp", "old-pop",
         QChar(QChar::ReplacementCharacter) + QStringLiteral("\uFFFD@x"), 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.left(60).toStdString());
        MailSettingsRecord r = Preset();
        ParseServerFile(c.file, r);
        EXPECT_EQ(r.SmtpServer, c.smtp);
        EXPECT_EQ(r.Pop3Server, c.pop3);
        EXPECT_EQ(r.MailAddress, c.mail);
        EXPECT_EQ(r.UseApop, c.apop);
    }
}

TEST(ServerFile, ApopNumberConversion)
{
    const std::pair<const char*, qint16> cases[] = {
        {"1", 1},
        {" 1", 1},
        {"", 0},
        {"x", 0},
        {"1.5", 2},
        {"2.5", 2},
        {"0.5", 0},
        {"-1.5", -2},
        {"3.5000001", 4},
        {"1 2", 12},
        {"- 1", -1},
        {"\t1\t.\t5", 2},
        {"1e2", 100},
        {"1E+2", 100},
        {"15e-1", 2},
        {"1e", 1},
        {"1e+", 1},
        {"1x5", 1},
        {".", 0},
        {"-.5", 0},
        {"+3", 3},
        {"--1", 0},
        {"&H10", 0},
        {"１", 0},
        // Beyond 16 bits: clamped, keeping the sign, never wrapped (65536 would give 0).
        {"32767", 32767},
        {"32768", 32767},
        {"65536", 32767},
        {"-32768", -32768},
        {"-32769", -32768},
        {"1e999", 32767},
        {"-1e999", -32768},
        {"1e-999", 0},
        {"0e999", 0},
        {"0.0000000000000000000000000000000000000000000000000000000000000000000000000000001e-300",
         0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ApopNumber(QString::fromUtf8(text)), expected) << text;
}

TEST(ServerFile, WritesExactlyFourCrLfLines)
{
    MailSettingsRecord r;
    r.SmtpServer = "a";
    r.Pop3Server = "b";
    r.MailAddress = "c";
    r.UseApop = 1;
    EXPECT_EQ(SerializeServerFile(r), QByteArray("SMTP=a\r\nPOP3=b\r\nMAIL=c\r\nAPOP=1\r\n"));
    EXPECT_EQ(SerializeServerFile(MailSettingsRecord{}),
              QByteArray("SMTP=\r\nPOP3=\r\nMAIL=\r\nAPOP=0\r\n"));
    r.UseApop = -32768;
    r.SmtpServer = QString(150, u's') + QStringLiteral("表");
    const QByteArray bytes = SerializeServerFile(r);
    EXPECT_TRUE(bytes.startsWith("SMTP=" + QByteArray(150, 's') + "\x95\x5c\r\n"));
    EXPECT_TRUE(bytes.endsWith("APOP=-32768\r\n"));
}

// Runs each test inside a fresh temporary current directory, as the program finds vbmail.ini.
class ServerFileDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        MailSettings = Preset();
    }
    void TearDown() override
    {
        QDir::setCurrent(m_previous);
        MailSettings = MailSettingsRecord{};
    }
    static void Put(const QByteArray& bytes)
    {
        QFile file("vbmail.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray Contents()
    {
        QFile file("vbmail.ini");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_previous;
};

TEST_F(ServerFileDisk, LoadsTheWindowsFileFromTheCurrentDirectory)
{
    ASSERT_TRUE(QFile::copy(MOFURIN_TEST_DATA "/settings/vbmail_windows.ini", "vbmail.ini"));
    LoadServerFile();
    EXPECT_EQ(MailSettings.SmtpServer, QStringLiteral("smtp.例え.jp"));
    EXPECT_EQ(MailSettings.Pop3Server, QStringLiteral("pop.例え.jp"));
    EXPECT_EQ(MailSettings.MailAddress, QStringLiteral("もふ@例え.jp"));
    EXPECT_EQ(MailSettings.UseApop, 1);

    // What we write back is the byte-for-byte form Windows wrote.
    const QByteArray windows = Contents();
    SaveServerFile();
    EXPECT_EQ(Contents(), windows);
}

TEST_F(ServerFileDisk, NoFileOrAFolderOrAPipeKeepsTheSettings)
{
    LoadServerFile();
    EXPECT_EQ(MailSettings.Pop3Server, "old-pop");
    ASSERT_TRUE(QDir().mkdir("vbmail.ini"));
    LoadServerFile();
    EXPECT_EQ(MailSettings.Pop3Server, "old-pop");
    SaveServerFile();
    EXPECT_TRUE(QFileInfo("vbmail.ini").isDir());
    ASSERT_TRUE(QDir().rmdir("vbmail.ini"));

    ASSERT_EQ(::mkfifo("vbmail.ini", 0600), 0); // opening it would block until a writer came
    LoadServerFile();
    EXPECT_EQ(MailSettings.Pop3Server, "old-pop");
}

TEST_F(ServerFileDisk, HugeOrGarbageFilesReadWithoutHarm)
{
    // The first line spans the reader's first two 64 KiB chunks, in the middle of its prefix.
    QByteArray bytes = QByteArray(65533, '\n') + "SMTP=split\r\n";
    bytes += "POP3=" + QByteArray(10 * 1024 * 1024, 'x') + "\n";
    bytes += QByteArray(3 * 1024 * 1024, '\0') + "\r\nAPOP= 70000\nMAIL=m\xff\x80";
    Put(bytes);
    LoadServerFile();
    EXPECT_EQ(MailSettings.Pop3Server, QString(100, u'x'));
    EXPECT_EQ(MailSettings.UseApop, 32767);
    EXPECT_EQ(MailSettings.MailAddress, u'm' + QString(2, QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(MailSettings.SmtpServer, "split");
}

TEST_F(ServerFileDisk, SaveThatCannotStoreAFieldKeepsTheOldFile)
{
    Put("SMTP=s\r\nPOP3=p\r\nMAIL=m\r\nAPOP=0\r\n");
    MailSettings.Pop3Server = "pop\r\nSMTP=evil";
    SaveServerFile();
    MailSettings.Pop3Server = QStringLiteral("pop😀");
    QString error;
    EXPECT_FALSE(SaveServerFileTo("vbmail.ini", MailSettings, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Contents(), QByteArray("SMTP=s\r\nPOP3=p\r\nMAIL=m\r\nAPOP=0\r\n"));

    MailSettings.Pop3Server = "pop.example";
    SaveServerFile();
    EXPECT_EQ(Contents(),
              QByteArray("SMTP=old-smtp\r\nPOP3=pop.example\r\nMAIL=old@mail\r\nAPOP=7\r\n"));
}

} // namespace
