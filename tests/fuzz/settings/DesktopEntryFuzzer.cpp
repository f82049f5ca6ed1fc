// Feeds arbitrary bytes to the desktop-entry reader, and arbitrary program paths through the
// autostart entry's writer and back: the desktop must start exactly the program written, and
// look for it under that name too unless the path holds a %, which the desktop looks for
// unexpanded.
#include "platform/DesktopEntryReader.h"
#include "settings/Autostart.h"

#include <QFile>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    DesktopEntryReader::Read(bytes);

    const QString program = QString::fromUtf8(bytes);
    QByteArray text;
    if (!Autostart::EntryText(program, program, text))
        return 0; // a control character, which no entry can carry
    const std::optional<DesktopEntryReader::Command> command = DesktopEntryReader::Read(text);
    if (!command)
        std::abort();
    const QByteArray written = program.toUtf8();
    if (command->startedProgram != written || command->tryExec != written ||
        command->workingFolder != (program.isEmpty() ? QByteArray() : written))
        std::abort();
    if (!written.contains('%') && command->checkedProgram != written)
        std::abort();
    return 0;
}
