#include "sasl/Sasl.h"

#include <gtest/gtest.h>

namespace {

// The messages as the RFCs and the providers' documentation spell them out.
TEST(Sasl, MessagesAreTheDocumentedBytes)
{
    using namespace nmail::sasl;
    struct Row
    {
        const char* what;
        QByteArray got, expected;
    };
    const Row rows[] = {
        // RFC 4616 §4's example, without an authorisation identity.
        {"PLAIN", plain("tim", "tanstaaftanstaaf"), QByteArray("\0tim\0tanstaaftanstaaf", 21)},
        {"XOAUTH2",
         xoauth2("someuser@example.com", "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg"),
         "user=someuser@example.com\x01"
         "auth=Bearer ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg"
         "\x01\x01"},
        // RFC 7628 §4.1's example.
        {"OAUTHBEARER",
         oauthBearer("user@example.com", "server.example.com", 143,
                     "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg=="),
         "n,a=user@example.com,\x01host=server.example.com\x01port=143\x01"
         "auth=Bearer vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==\x01\x01"},
        // A name with the GS2 header's own characters stays one field.
        {"OAUTHBEARER escaping", oauthBearer("a,b=c", "h", 993, "t"),
         "n,a=a=2Cb=3Dc,\x01host=h\x01port=993\x01"
         "auth=Bearer t\x01\x01"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.got, row.expected) << row.what;
    EXPECT_EQ(oauthBearerAbort(), "\x01");
    EXPECT_EQ(plain("tim", "tanstaaftanstaaf").toBase64(), "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");
    EXPECT_FALSE(fitsPlain(QByteArray("a\0b", 3)));
    EXPECT_FALSE(fitsBearer("tok\x01"
                            "auth=Bearer other"));
    EXPECT_TRUE(fitsBearer("ya29.a0AfH6SMB"));
}

} // namespace
