// Feeds arbitrary bytes to the IMAP response reader twice, whole and cut into pieces as a
// socket would deliver them: both must read the same responses and stop at the same error, and
// the reader must never take more than it was given. The strings and atoms read also go through
// the mailbox-name decoder, whose names must encode back to a wire form of the same name.
#include "imap/MailboxName.h"
#include "imap/ResponseReader.h"

#include <cstdint>
#include <cstdlib>

using nmail::imap::Response;
using nmail::imap::ResponseReader;
using nmail::imap::Value;

namespace {

struct Outcome
{
    std::vector<Response> responses;
    ResponseReader::Status status;
    ResponseReader::Error error;
};

Outcome readAll(QByteArrayView bytes, qsizetype piece)
{
    Outcome outcome;
    ResponseReader reader;
    qsizetype pos = 0;
    while (pos < bytes.size() && reader.status() != ResponseReader::Status::Failed) {
        const QByteArrayView chunk = bytes.sliced(pos, qMin(piece, bytes.size() - pos));
        qsizetype used = -1;
        reader.feed(chunk, &used);
        if (used < 0 || used > chunk.size()) {
            std::abort();
        }
        if (used < chunk.size() && reader.status() == ResponseReader::Status::NeedMore) {
            std::abort(); // bytes left over while still waiting for more
        }
        pos += used;
        if (reader.status() == ResponseReader::Status::Complete) {
            outcome.responses.push_back(reader.takeResponse());
            reader.begin();
        }
    }
    outcome.status = reader.status();
    outcome.error = reader.error();
    return outcome;
}

void checkNames(const std::vector<Value>& values)
{
    for (const Value& value : values) {
        checkNames(value.list);
        const std::optional<QString> name = nmail::imap::decodeMailboxName(value.bytes);
        if (name && nmail::imap::decodeMailboxName(nmail::imap::encodeMailboxName(*name)) != name) {
            std::abort();
        }
        (void)nmail::imap::quoteAstring(value.bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype piece = 1 + data[0] % 8; // the size of each delivery
    const Outcome whole = readAll(bytes, bytes.size());
    const Outcome pieces = readAll(bytes, piece);
    if (whole.responses != pieces.responses || whole.status != pieces.status ||
        whole.error != pieces.error) {
        std::abort();
    }
    for (const Response& response : whole.responses) {
        checkNames(response.items);
    }
    return 0;
}
