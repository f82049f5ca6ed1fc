#include "ResponseReader.h"

#include "ByteView.h"

#include <cctype>
#include <cstring>

namespace nmail::imap {

namespace {

bool isControl(char c)
{
    return uchar(c) < 0x20 || c == 0x7f;
}

// A byte of an atom as servers send them: anything but a blank, a control and the bytes that
// start or end another value (RFC 3501 §9, atom-specials). Flags (\Seen), sequence sets (1:*)
// and ']' (ASTRING-CHAR) are atoms here.
bool isAtomChar(char c)
{
    return !isControl(c) && !std::strchr(" (){\"[", c);
}

// A tag: ASTRING-CHARs without '+' (RFC 3501 §9, tag).
bool isTag(QByteArrayView tag)
{
    if (tag.isEmpty()) {
        return false;
    }
    for (char c : tag) {
        if (!isAtomChar(c) || c == '+' || c == '%' || c == '*' || c == '\\') {
            return false;
        }
    }
    return true;
}

bool isStatus(QByteArrayView word)
{
    return word == "OK" || word == "NO" || word == "BAD" || word == "PREAUTH" || word == "BYE";
}

// Where the bracketed part of an atom that starts at pos ends (just after its ']'), skipping
// quoted strings inside it: BODY[HEADER.FIELDS (FROM "X-]")]. -1 when the line has no ']'.
qsizetype sectionEnd(QByteArrayView line, qsizetype pos)
{
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (quoted && c == '\\') {
            ++pos;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ']' && !quoted) {
            return pos + 1;
        }
    }
    return -1;
}

} // namespace

void ResponseReader::begin()
{
    *this = ResponseReader{};
}

ResponseReader::Status ResponseReader::feed(QByteArrayView bytes, qsizetype* used)
{
    qsizetype pos = 0;
    while (m_status == Status::NeedMore && pos < bytes.size()) {
        if (m_literalLeft > 0) {
            // The literal's bytes go straight into its value, as many as have come.
            const qsizetype take = qMin(m_literalLeft, bytes.size() - pos);
            openList().back().bytes.append(bytes.data() + pos, take);
            pos += take;
            m_literalLeft -= take;
            continue;
        }
        QByteArrayView line;
        const LineJoiner::Result result = m_lines.next(bytes, &pos, &line);
        if (result == LineJoiner::Result::TooLong) {
            fail(Error::LineTooLong);
            break;
        }
        if (result == LineJoiner::Result::NeedMore) {
            break;
        }
        m_size += m_lines.lineSize();
        if (m_size > MaxResponseSize) {
            fail(Error::ResponseTooLarge);
            break;
        }
        m_status = takeLine(line);
    }
    if (used) {
        *used = pos;
    }
    return m_status;
}

ResponseReader::Status ResponseReader::takeLine(QByteArrayView line)
{
    if (m_started) {
        return takeData(line, 0); // the line goes on after a literal
    }
    m_started = true;
    return takeFirstLine(line);
}

// The start of a response (RFC 3501 §7): "+", "*" or a tag, then what it is.
ResponseReader::Status ResponseReader::takeFirstLine(QByteArrayView line)
{
    if (line.startsWith('+')) {
        m_response.kind = Response::Kind::Continuation;
        line = midView(line, 1);
        return takeText(line.startsWith(' ') ? midView(line, 1) : line);
    }
    qsizetype space = line.indexOf(' ');
    const QByteArrayView tag = line.first(space < 0 ? line.size() : space);
    if (tag == "*") {
        m_response.kind = Response::Kind::Untagged;
    } else if (isTag(tag)) {
        m_response.kind = Response::Kind::Tagged;
        m_response.tag = tag.toByteArray();
    } else {
        return fail(Error::Syntax);
    }
    if (space < 0) {
        return fail(Error::Syntax);
    }
    line = midView(line, space + 1);

    // An untagged message number comes before its keyword: * 3 EXISTS.
    space = line.indexOf(' ');
    QByteArrayView word = line.first(space < 0 ? line.size() : space);
    if (m_response.kind == Response::Kind::Untagged && !word.isEmpty() &&
        std::isdigit(uchar(word[0]))) {
        bool ok = false;
        m_response.number = word.toByteArray().toUInt(&ok);
        if (!ok || space < 0) {
            return fail(Error::Syntax);
        }
        line = midView(line, space + 1);
        space = line.indexOf(' ');
        word = line.first(space < 0 ? line.size() : space);
    }
    for (char c : word) {
        if (!isAtomChar(c)) {
            return fail(Error::Syntax);
        }
    }
    m_response.status = word.toByteArray().toUpper();
    const QByteArrayView status = m_response.status;
    if (status.isEmpty() || (m_response.kind == Response::Kind::Tagged && status != "OK" &&
                             status != "NO" && status != "BAD")) {
        return fail(Error::Syntax);
    }
    const QByteArrayView rest = space < 0 ? QByteArrayView() : midView(line, space + 1);
    if (isStatus(m_response.status) && !m_response.number) {
        return takeText(rest);
    }
    return takeData(rest, 0);
}

// resp-text: an optional response code in brackets, then human-readable text to the line's
// end (RFC 3501 §7.1). The code's arguments are kept as sent: the grammar allows any text but
// ']' there, so the first ']' ends the code.
ResponseReader::Status ResponseReader::takeText(QByteArrayView rest)
{
    if (rest.startsWith('[')) {
        const qsizetype end = rest.indexOf(']') + 1;
        if (end == 0) {
            return fail(Error::Syntax);
        }
        const QByteArrayView inside = rest.sliced(1, end - 2);
        const qsizetype space = inside.indexOf(' ');
        m_response.code = inside.first(space < 0 ? inside.size() : space).toByteArray().toUpper();
        if (m_response.code.isEmpty()) {
            return fail(Error::Syntax);
        }
        if (space >= 0) {
            m_response.codeText = midView(inside, space + 1).toByteArray();
        }
        rest = midView(rest, end);
        if (rest.startsWith(' ')) {
            rest = midView(rest, 1);
        }
    }
    m_response.text = rest.toByteArray();
    return Status::Complete;
}

// Values from pos to the line's end, into the innermost open list. A line that ends in a
// literal's announcement leaves the literal to come; otherwise the response ends here, and
// every list must be closed.
ResponseReader::Status ResponseReader::takeData(QByteArrayView line, qsizetype pos)
{
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == ' ') {
            ++pos;
        } else if (c == '(') {
            if (m_depth == MaxDepth) {
                return fail(Error::TooDeep);
            }
            if (!add(Value{Value::Kind::List, {}, 0, {}})) {
                return m_status;
            }
            ++m_depth;
            ++pos;
        } else if (c == ')') {
            if (m_depth == 0) {
                return fail(Error::Syntax);
            }
            --m_depth;
            ++pos;
        } else if (c == '"') {
            // A quoted string ends on its line; only \\ and \" are escapes (RFC 3501 §9).
            QByteArray text;
            for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
                if (line[pos] == '\\') {
                    if (++pos == line.size() || (line[pos] != '\\' && line[pos] != '"')) {
                        return fail(Error::Syntax);
                    }
                }
                text.append(line[pos]);
            }
            if (pos == line.size()) {
                return fail(Error::Syntax);
            }
            ++pos;
            if (!add(Value{Value::Kind::String, text, 0, {}})) {
                return m_status;
            }
        } else if (c == '{') {
            // {n} or {n+} ends its line; the n bytes after the line end are the literal.
            qsizetype size = 0;
            qsizetype digits = 0;
            for (++pos; pos < line.size() && std::isdigit(uchar(line[pos])); ++pos, ++digits) {
                size = qMin(size * 10 + (line[pos] - '0'), MaxLiteralSize + 1);
            }
            if (pos < line.size() && line[pos] == '+') {
                ++pos;
            }
            if (digits == 0 || pos + 1 != line.size() || line[pos] != '}') {
                return fail(Error::Syntax);
            }
            if (size > MaxLiteralSize) {
                return fail(Error::LiteralTooLarge);
            }
            m_size += size;
            if (m_size > MaxResponseSize) {
                return fail(Error::ResponseTooLarge);
            }
            if (!add(Value{Value::Kind::String, {}, 0, {}})) {
                return m_status;
            }
            m_literalLeft = size;
            return Status::NeedMore;
        } else {
            // An atom, maybe with a bracketed section inside: BODY[HEADER.FIELDS (DATE)]<0>.
            const qsizetype start = pos;
            while (pos < line.size() && (isAtomChar(line[pos]) || line[pos] == '[')) {
                if (line[pos] == '[') {
                    pos = sectionEnd(line, pos + 1);
                    if (pos < 0) {
                        return fail(Error::Syntax);
                    }
                } else {
                    ++pos;
                }
            }
            // A literal8 (~{n}, RFC 3516) is not something we ask for.
            if (pos == start || (pos < line.size() && line[pos] == '{' && line[pos - 1] == '~')) {
                return fail(Error::Syntax);
            }
            Value value{Value::Kind::Atom, line.sliced(start, pos - start).toByteArray(), 0, {}};
            bool isNumber = true;
            for (char d : value.bytes) {
                isNumber = isNumber && std::isdigit(uchar(d));
            }
            if (value.bytes.compare("NIL", Qt::CaseInsensitive) == 0) {
                value = Value{};
            } else if (isNumber) {
                value.number = value.bytes.toULongLong(&isNumber);
                if (isNumber) {
                    value.kind = Value::Kind::Number;
                }
            }
            if (!add(std::move(value))) {
                return m_status;
            }
        }
    }
    return m_depth == 0 ? Status::Complete : fail(Error::Syntax);
}

ResponseReader::Status ResponseReader::fail(Error error)
{
    m_error = error;
    m_status = Status::Failed;
    return m_status;
}

// The innermost open list: while a list is open, nothing is added after it, so it is always
// the last value of the list around it.
std::vector<Value>& ResponseReader::openList()
{
    std::vector<Value>* list = &m_response.items;
    for (int d = 0; d < m_depth; ++d) {
        list = &list->back().list;
    }
    return *list;
}

bool ResponseReader::add(Value value)
{
    if (++m_items > MaxItems) {
        fail(Error::TooManyItems);
        return false;
    }
    openList().push_back(std::move(value));
    return true;
}

} // namespace nmail::imap
