#include "Apop.h"

#include "ByteView.h"

#include <QCryptographicHash>

namespace nmail {

QByteArray apopTimestamp(QByteArrayView greeting)
{
    qsizetype open = greeting.indexOf('<');
    while (open >= 0) {
        const qsizetype close = greeting.indexOf('>', open + 1);
        if (close < 0) {
            break;
        }
        // A timestamp is a msg-id (RFC 1939 §7, RFC 822 §6): printable ASCII without blanks
        // and one '@'. Anything else is not the server's challenge; hashing it would let a
        // server choose what we sign with the password (CVE-2007-1558).
        const QByteArrayView inside = midView(greeting, open + 1, close - open - 1);
        bool valid = inside.count('@') == 1;
        for (char c : inside) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '<' || byte < 0x21 || byte > 0x7E) {
                valid = false;
            }
        }
        if (valid) {
            return midView(greeting, open, close - open + 1).toByteArray();
        }
        // Start again at the next '<', which may sit inside the rejected candidate.
        open = greeting.indexOf('<', open + 1);
    }
    return {};
}

QByteArray apopDigest(QByteArrayView timestamp, QByteArrayView password)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(timestamp);
    md5.addData(password);
    return md5.result().toHex();
}

} // namespace nmail
