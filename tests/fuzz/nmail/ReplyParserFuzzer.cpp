// Feeds arbitrary bytes to the POP3 reply parser, cut into pieces as a socket would deliver
// them, and checks that it never takes more than it was given nor stores an unbounded body.
// The bytes also go through the header decoder, which reads what TOP and RETR return.
#include "MimeHeader.h"
#include "ReplyParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    const bool multiLine = data[0] & 1;
    const qsizetype piece = 1 + data[1] % 64; // the size of each delivery
    const qsizetype bodyLimit = (data[0] & 2) ? 64 : nmail::ReplyParser::MaxBodyDefault;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    nmail::ReplyParser parser;
    parser.begin(multiLine, bodyLimit);
    qsizetype pos = 0;
    while (pos < bytes.size() && parser.status() == nmail::ReplyParser::Status::NeedMore) {
        const QByteArrayView chunk = bytes.sliced(pos, qMin(piece, bytes.size() - pos));
        qsizetype used = -1;
        parser.feed(chunk, &used);
        if (used < 0 || used > chunk.size()) {
            std::abort();
        }
        pos += used;
        if (used < chunk.size() && parser.status() == nmail::ReplyParser::Status::NeedMore) {
            std::abort(); // bytes left over while still waiting for more
        }
    }
    if (parser.reply().body.size() > bodyLimit) {
        std::abort();
    }
    const QByteArray header = nmail::headerOf(parser.reply().body);
    (void)nmail::decodeHeaderText(nmail::headerField(header, "Subject"));
    (void)nmail::decodeHeaderText(QByteArray(bytes.data(), qMin<qsizetype>(bytes.size(), 4096)));
    return 0;
}
