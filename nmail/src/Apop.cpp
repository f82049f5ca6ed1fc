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
        const QByteArrayView inside = midView(greeting, open + 1, close - open - 1);
        bool valid = inside.contains('@');
        for (char c : inside) {
            if (c == '<' || c == ' ' || c == '\t' || static_cast<unsigned char>(c) < 0x21) {
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
