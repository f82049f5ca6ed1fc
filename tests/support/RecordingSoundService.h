#pragma once

// A stand-in for the sound service that plays nothing: it records every request (the sound's
// name or a copy of its memory image, and the flag word) and answers what the test told it to.
// Put it in place with SetSoundServiceForTesting and take it out again at the end of the test;
// the guard below does both.

#include "sound/SoundFlags.h"
#include "sound/SoundService.h"

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <optional>

class RecordingSoundService final : public SoundService
{
public:
    struct Call
    {
        bool nullName = false; // the sound was a null pointer (stop, or a memory image)
        QByteArray name;       // the file name as handed over, without its NUL
        QByteArray memory;     // a copy of the memory image
        uint32_t flags = 0;

        bool isStop() const { return nullName && flags == SND_PURGE; }
    };

    bool PlaySound(const char* name, QByteArrayView memory, uint32_t flags) override
    {
        Call call;
        call.nullName = name == nullptr;
        if (name != nullptr)
            call.name = QByteArray(name);
        call.memory = memory.toByteArray();
        call.flags = flags;
        calls.append(call);
        if ((flags & SND_PURGE) != 0)
            return stopAnswer;
        if (nextAnswers.isEmpty())
            return playAnswer;
        return nextAnswers.takeFirst();
    }

    QList<Call> calls;
    bool playAnswer = true;  // the answer to play requests when nextAnswers is empty
    bool stopAnswer = true;  // the answer to stop requests
    QList<bool> nextAnswers; // answers for the next play requests, in order
};

// Puts a recording service in place for the lifetime of the guard.
class ScopedRecordingSoundService
{
public:
    ScopedRecordingSoundService() { SetSoundServiceForTesting(&service); }
    ~ScopedRecordingSoundService() { SetSoundServiceForTesting(nullptr); }
    ScopedRecordingSoundService(const ScopedRecordingSoundService&) = delete;
    ScopedRecordingSoundService& operator=(const ScopedRecordingSoundService&) = delete;

    RecordingSoundService service;
};
