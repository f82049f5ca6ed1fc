#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace nmail {

// Cuts lines out of bytes that arrive in pieces, as both protocols' readers take them: a line
// ends at LF, and a CR before it is dropped. The start of a line that has not ended yet is kept
// until its end comes, but never beyond maxLength bytes (line end included), so that a server
// that never ends a line cannot make a reader buffer without bound.
class LineJoiner
{
public:
    enum class Result
    {
        Line,     // *line is the next whole line, valid until the next call
        NeedMore, // every byte was taken: the line goes on in the next piece
        TooLong
    };

    explicit LineJoiner(qsizetype maxLength) : m_maxLength(maxLength) {}

    // Takes bytes from `bytes` at *pos, up to and including the next LF, and moves *pos past
    // them.
    Result next(QByteArrayView bytes, qsizetype* pos, QByteArrayView* line);
    // The bytes the last line came in, its end and its earlier pieces included.
    qsizetype lineSize() const { return m_lineSize; }
    void clear();

private:
    qsizetype m_maxLength;
    QByteArray m_partial; // the line so far, carried over between pieces
    bool m_given = false; // m_partial holds a line already given out
    qsizetype m_lineSize = 0;
};

} // namespace nmail
