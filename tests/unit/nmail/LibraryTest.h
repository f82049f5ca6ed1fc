#pragma once

#include "nmail/NMail.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The buffer size the tests give the library for each text it fills.
constexpr int TextSize = 8192;

// A text the library wrote, decoded from code page 932.
inline QString fromCp932(const char* text)
{
    return QStringDecoder("windows-31j").decode(QByteArray(text));
}

// One of the library's texts for the calling thread: by default the reason for its last
// failure, else a detail of the certificate that failed.
inline QString libraryText(int32_t kind = NMAIL_MESSAGE_LAST_ERROR)
{
    std::vector<char> buffer(TextSize, 'x');
    int32_t length = TextSize;
    EXPECT_EQ(NMailGetMessage(kind, buffer.data(), &length), NMAIL_OK);
    return fromCp932(buffer.data());
}

// The library's reason for the calling thread's last failure.
inline std::string lastMessage()
{
    return libraryText().toStdString();
}

// A test of the library's C functions against a scripted server: short time-outs, so that a
// server that says nothing ends a test quickly, and the defaults put back after it.
class LibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NMailInitializeWinSock();
        NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
        NMailSetOption(NMAIL_OPTION_CONNECT_TIMEOUT, 2000);
        NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 2000);
    }
    void TearDown() override
    {
        NMailSetOption(NMAIL_OPTION_REPLY_TIMEOUT, 30000);
        NMailSetOption(NMAIL_OPTION_CONNECT_TIMEOUT, 15000);
        NMailSetOption(NMAIL_OPTION_TEXT_ENCODING, NMAIL_TEXT_CP932);
        NMailEndWinSock();
    }
};
