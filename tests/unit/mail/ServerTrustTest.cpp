// What is remembered per server: the server a text names, the text handed to the library, and
// that the memory survives in its file.
#include "mail/ServerTrust.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ServerTrust, OneServerWhateverTheUserTyped)
{
    struct Case
    {
        QString text;
        QString key;
        QString demanded; // connectText once TLS was seen there
        QString pin = {}; // what a certificate is pinned with; empty: the text itself
    };
    const Case cases[] = {
        {u"Mail.Example.jp"_s, u"mail.example.jp 110"_s, u"pop3+stls://Mail.Example.jp"_s},
        {u" pop3://mail.example.jp:110/ "_s, u"mail.example.jp 110"_s,
         u"pop3+stls://mail.example.jp:110/"_s},
        {u"pop3+stls://mail.example.jp"_s, u"mail.example.jp 110"_s,
         u"pop3+stls://mail.example.jp"_s},
        {u"mail.example.jp:1110"_s, u"mail.example.jp 1110"_s,
         u"pop3+stls://mail.example.jp:1110"_s},
        {u"pop3s://mail.example.jp"_s, u"mail.example.jp 995"_s, u"pop3s://mail.example.jp"_s},
        {u"[::1]:2110"_s, u"::1 2110"_s, u"pop3+stls://[::1]:2110"_s},
        {u"::1"_s, u"::1 110"_s, u"pop3+stls://::1"_s},
        // IMAP: its own ports, the mailbox is no part of the server, and imap:// upgrades.
        {u"imap://Mail.example.jp/Lists/猫"_s, u"mail.example.jp 143"_s,
         u"imap+starttls://Mail.example.jp/Lists/猫"_s, u"mail.example.jp:143"_s},
        {u"imap+starttls://mail.example.jp:143"_s, u"mail.example.jp 143"_s,
         u"imap+starttls://mail.example.jp:143"_s, u"mail.example.jp:143"_s},
        {u"imaps://mail.example.jp/INBOX"_s, u"mail.example.jp 993"_s,
         u"imaps://mail.example.jp/INBOX"_s, u"mail.example.jp:993"_s},
        {u"imap://[::1]:1143/a:b"_s, u"::1 1143"_s, u"imap+starttls://[::1]:1143/a:b"_s,
         u"[::1]:1143"_s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ServerTrust::keyOf(c.text), c.key) << c.text.toStdString();
        EXPECT_EQ(ServerTrust::connectText(c.text, true), c.demanded) << c.text.toStdString();
        EXPECT_EQ(ServerTrust::connectText(c.text, false), c.text);
        EXPECT_EQ(ServerTrust::pinText(c.text), c.pin.isEmpty() ? c.text : c.pin);
    }
    // The server as a question about it names it.
    EXPECT_EQ(ServerTrust::shownName(u"mail.example.jp 993"_s), u"mail.example.jp:993"_s);
    EXPECT_EQ(ServerTrust::shownName(u"::1 110"_s), u"[::1]:110"_s);
}

TEST(ServerTrust, RemembersAcrossInstances)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"tls.ini"_s);
    const QString key = ServerTrust::keyOf(u"mail.example.jp"_s);
    {
        ServerTrust trust(path);
        EXPECT_FALSE(trust.tlsSeen(key));
        EXPECT_TRUE(trust.setTlsSeen(key, true));
        EXPECT_TRUE(trust.setPinnedCertificate(key, u"AB:CD"_s));
    }
    ServerTrust again(path);
    EXPECT_TRUE(again.tlsSeen(key));
    EXPECT_EQ(again.pinnedCertificate(key), u"AB:CD"_s);
    EXPECT_FALSE(again.tlsSeen(ServerTrust::keyOf(u"pop3s://mail.example.jp"_s)));
    EXPECT_TRUE(again.setTlsSeen(key, false));
    EXPECT_FALSE(again.tlsSeen(key));
}
