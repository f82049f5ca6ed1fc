#pragma once

#include "Trust.h"
#include "support/DovecotFixture.h"
#include "unit/nmail/LibraryTest.h"

#include <QSslCertificate>
#include <QStringEncoder>
#include <memory>
#include <string>

// A text as the library takes it, in code page 932.
inline QByteArray toCp932(const QString& text)
{
    return QStringEncoder("windows-31j").encode(text);
}

// An address on this machine for the library: "127.0.0.1:port", or with a scheme before it.
inline std::string localAddress(int port, const std::string& scheme = {})
{
    return (scheme.empty() ? std::string() : scheme + "://") + "127.0.0.1:" + std::to_string(port);
}

// A suite of the library's C functions against one Dovecot, which a suite starts in its
// SetUpTestSuite with startServer() and the server's JSON configuration. The server's own
// throwaway certificate authority is trusted, as a user would trust it; a server that did not
// start fails every test with its reason. The library keeps its default time-outs.
class DovecotLibraryTest : public ::testing::Test
{
protected:
    static void startServer(const char* configJson)
    {
        s_server = std::make_unique<DovecotFixture>();
        QString error;
        if (!s_server->start(configJson, &error)) {
            s_startError = error.toStdString();
        }
        nmail::setExtraTrustAnchors(QSslCertificate::fromPath(s_server->caFile));
        NMailInitializeWinSock();
        NMailSetOption(NMAIL_OPTION_BUFFER_SIZE, TextSize);
    }
    static void TearDownTestSuite()
    {
        nmail::setExtraTrustAnchors({});
        NMailEndWinSock();
        s_server.reset();
        s_startError.clear();
    }
    void SetUp() override { ASSERT_TRUE(s_startError.empty()) << s_startError; }

    // One server at a time: gtest runs one suite after the other.
    static inline std::unique_ptr<DovecotFixture> s_server;
    static inline std::string s_startError;
    char subject[TextSize], date[TextSize], from[TextSize], header[TextSize];
};
