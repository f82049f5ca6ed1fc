#include "ReplyParser.h"

#include "ByteView.h"

namespace nmail {

void ReplyParser::begin(bool multiLine, qsizetype bodyLimit)
{
    m_multiLine = multiLine;
    m_inBody = false;
    m_bodyLimit = bodyLimit;
    m_lines.clear();
    m_reply = Reply{};
    m_status = Status::NeedMore;
    m_error = Error::None;
}

ReplyParser::Status ReplyParser::feed(QByteArrayView bytes, qsizetype* used)
{
    qsizetype pos = 0;
    while (m_status == Status::NeedMore && pos < bytes.size()) {
        QByteArrayView line;
        const LineJoiner::Result result = m_lines.next(bytes, &pos, &line);
        if (result == LineJoiner::Result::TooLong) {
            m_status = Status::Failed;
            m_error = Error::LineTooLong;
            break;
        }
        if (result == LineJoiner::Result::NeedMore) {
            break;
        }
        m_status = takeLine(line);
    }
    if (used) {
        *used = pos;
    }
    return m_status;
}

ReplyParser::Status ReplyParser::takeLine(QByteArrayView line)
{
    if (!m_inBody) {
        m_reply.statusLine = line.toByteArray();
        if (line == "+OK" || line.startsWith("+OK ")) {
            m_reply.ok = true;
            m_reply.text = midView(line, qMin<qsizetype>(4, line.size())).toByteArray();
        } else if (line == "-ERR" || line.startsWith("-ERR ")) {
            m_reply.ok = false;
            m_reply.text = midView(line, qMin<qsizetype>(5, line.size())).toByteArray();
            return Status::Complete;
        } else {
            m_error = Error::BadStatusLine;
            return Status::Failed;
        }
        if (!m_multiLine) {
            return Status::Complete;
        }
        m_inBody = true;
        return Status::NeedMore;
    }
    if (line == ".") {
        return Status::Complete;
    }
    if (line.startsWith('.')) {
        line = midView(line, 1);
    }
    if (m_reply.bodyCut || m_reply.body.size() + line.size() + 2 > m_bodyLimit) {
        m_reply.bodyCut = true;
        return Status::NeedMore;
    }
    m_reply.body.append(line.data(), line.size());
    m_reply.body.append("\r\n", 2);
    return Status::NeedMore;
}

} // namespace nmail
