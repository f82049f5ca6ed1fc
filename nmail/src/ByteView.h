#pragma once

#include <QByteArrayView>

namespace nmail {

// A clamped piece of a byte view, like QByteArray::mid: Qt 6.4's QByteArrayView has only the
// unchecked sliced().
inline QByteArrayView midView(QByteArrayView bytes, qsizetype pos, qsizetype length = -1)
{
    if (pos < 0) {
        pos = 0;
    }
    if (pos >= bytes.size()) {
        return QByteArrayView(bytes.data() + bytes.size(), qsizetype(0));
    }
    const qsizetype rest = bytes.size() - pos;
    return bytes.sliced(pos, length < 0 || length > rest ? rest : length);
}

} // namespace nmail
