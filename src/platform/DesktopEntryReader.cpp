#include "platform/DesktopEntryReader.h"

#include <QList>
#include <map>

namespace DesktopEntryReader {
namespace {

const QByteArray Group = "Desktop Entry";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A string value by the key-file rules; nothing for an escape the rules do not know.
std::optional<QByteArray> Unescape(const QByteArray& raw)
{
    QByteArray value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            value += raw[i];
            continue;
        }
        if (++i == raw.size())
            return std::nullopt;
        switch (raw[i]) {
        case 's':
            value += ' ';
            break;
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case '\\':
            value += '\\';
            break;
        default:
            return std::nullopt;
        }
    }
    return value;
}

// The raw values of the [Desktop Entry] group; a later line of a key wins, as in GLib.
std::map<QByteArray, QByteArray> RawValues(const QByteArray& text)
{
    std::map<QByteArray, QByteArray> values;
    bool inGroup = false;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        qsizetype start = 0;
        while (start < line.size() && IsBlank(line[start]))
            ++start;
        line = line.mid(start);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype end = line.indexOf(']');
            inGroup = end > 0 && line.mid(1, end - 1) == Group;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || equals <= 0)
            continue;
        QByteArray value = line.mid(equals + 1);
        qsizetype blank = 0;
        while (blank < value.size() && IsBlank(value[blank]))
            ++blank;
        values[line.left(equals).trimmed()] = value.mid(blank);
    }
    return values;
}

std::optional<QByteArray> Value(const std::map<QByteArray, QByteArray>& values,
                                const QByteArray& key)
{
    const auto found = values.find(key);
    if (found == values.end())
        return QByteArray();
    return Unescape(found->second);
}

// The words of a command line, split as g_shell_parse_argv splits them.
std::optional<QList<QByteArray>> ShellWords(const QByteArray& line)
{
    QList<QByteArray> words;
    QByteArray word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == '#' && !inWord) {
            // A comment runs to the end of the line.
            while (i + 1 < line.size() && line[i + 1] != '\n')
                ++i;
        } else if (c == '\'') {
            const qsizetype end = line.indexOf('\'', i + 1);
            if (end < 0)
                return std::nullopt;
            word += line.mid(i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= line.size())
                    return std::nullopt;
                if (line[i] == '"')
                    break;
                if (line[i] == '\\' && i + 1 < line.size()) {
                    const char next = line[i + 1];
                    if (next == '\n') {
                        ++i;
                        continue;
                    }
                    if (next == '$' || next == '`' || next == '"' || next == '\\') {
                        word += next;
                        ++i;
                        continue;
                    }
                }
                word += line[i];
            }
            inWord = true;
        } else if (c == '\\' && i + 1 < line.size()) {
            // A backslash-newline joins two lines; any other character is kept as it is.
            if (line[++i] != '\n') {
                word += line[i];
                inWord = true;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    if (words.isEmpty())
        return std::nullopt;
    return words;
}

// Exec as the desktop starts it: %% is a literal %, and the other codes (files, addresses,
// the icon) stand for nothing when the entry is started by itself at login.
QByteArray ExpandCodes(const QByteArray& exec)
{
    QByteArray expanded;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%' || i + 1 == exec.size()) {
            expanded += exec[i];
            continue;
        }
        if (exec[++i] == '%')
            expanded += '%';
    }
    return expanded;
}

} // namespace

std::optional<QList<QByteArray>> SplitCommand(const QByteArray& line)
{
    return ShellWords(ExpandCodes(line));
}

std::optional<Command> Read(const QByteArray& text)
{
    const std::map<QByteArray, QByteArray> values = RawValues(text);
    const std::optional<QByteArray> exec = Value(values, "Exec");
    if (!exec || exec->isEmpty())
        return std::nullopt;
    const std::optional<QList<QByteArray>> checked = ShellWords(*exec);
    const std::optional<QList<QByteArray>> started = ShellWords(ExpandCodes(*exec));
    if (!checked || !started)
        return std::nullopt;
    Command command;
    command.checkedProgram = checked->first();
    command.startedProgram = started->first();
    command.started = *started;
    // An unreadable TryExec or Path is no TryExec or Path, as in GLib.
    command.tryExec = Value(values, "TryExec").value_or(QByteArray());
    command.workingFolder = Value(values, "Path").value_or(QByteArray());
    return command;
}

} // namespace DesktopEntryReader
