// Feeds arbitrary bytes to the server-file reader and checks what it gives back.
#include "codepage/CodePage.h"
#include "settings/ServerFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    MailSettingsRecord record;
    ParseServerFile(bytes, record);

    // No value is longer than 100 characters or spans a line break.
    for (const QString* field : {&record.SmtpServer, &record.Pop3Server, &record.MailAddress}) {
        if (field->size() > 100 || field->contains(u'\r') || field->contains(u'\n'))
            std::abort();
    }

    // What we write reads back the same, as long as the code page can hold every character.
    if (FitsCodePage(record.SmtpServer) && FitsCodePage(record.Pop3Server) &&
        FitsCodePage(record.MailAddress)) {
        MailSettingsRecord again;
        again.UseApop = 99;
        ParseServerFile(SerializeServerFile(record), again);
        if (again.SmtpServer != record.SmtpServer || again.Pop3Server != record.Pop3Server ||
            again.MailAddress != record.MailAddress || again.UseApop != record.UseApop)
            std::abort();
    }

    ApopNumber(QString::fromLatin1(bytes.first(qMin<qsizetype>(bytes.size(), 4096))));
    return 0;
}
