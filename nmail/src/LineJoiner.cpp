#include "LineJoiner.h"

#include <cstring>

namespace nmail {

LineJoiner::Result LineJoiner::next(QByteArrayView bytes, qsizetype* pos, QByteArrayView* line)
{
    if (m_given) {
        clear();
    }
    const char* start = bytes.data() + *pos;
    const qsizetype rest = bytes.size() - *pos;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', size_t(rest)));
    const qsizetype length = lf ? lf - start + 1 : rest;
    *pos += length;
    if (m_partial.size() + length > m_maxLength) {
        return Result::TooLong;
    }
    if (!lf) {
        m_partial.append(start, length);
        return Result::NeedMore;
    }
    m_lineSize = m_partial.size() + length;
    QByteArrayView whole;
    if (m_partial.isEmpty()) {
        whole = QByteArrayView(start, length - 1);
    } else {
        m_partial.append(start, length - 1);
        whole = m_partial;
        m_given = true; // cleared on the next call, once the caller is done with the line
    }
    if (whole.endsWith('\r')) {
        whole.chop(1);
    }
    *line = whole;
    return Result::Line;
}

void LineJoiner::clear()
{
    m_partial.clear();
    m_given = false;
    m_lineSize = 0;
}

} // namespace nmail
