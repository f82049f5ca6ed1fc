#pragma once

// A stand-in for the platform's sound service: it plays nothing, records every request and
// answers from a script. Tests put it in use through the services (platform/Services.h),
// usually with ScopedRecordingSoundService, which also takes it out again.

#include "sound/SoundFlags.h"
#include "sound/SoundService.h"
#include "support/ChangedServices.h"

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

class RecordingSoundService : public SoundService
{
public:
    struct Call
    {
        std::optional<QByteArray> name; // empty when the sound was null
        QByteArray memory;              // a copy of the memory image handed over
        const char* memoryData = nullptr;
        uint32_t flags = 0;

        bool isStop() const { return (flags & SND_PURGE) != 0; }
    };

    bool PlaySound(const char* name, QByteArrayView memory, uint32_t flags) override
    {
        Call call;
        if (name != nullptr)
            call.name = QByteArray(name);
        call.memory = QByteArray(memory.data(), memory.size());
        call.memoryData = memory.data();
        call.flags = flags;
        calls.push_back(call);
        if (!answers.empty()) {
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return (flags & SND_PURGE) != 0 ? stopAnswer : playAnswer;
    }

    // The plays only, without the stops.
    std::vector<Call> plays() const
    {
        std::vector<Call> result;
        for (const Call& call : calls)
            if (!call.isStop())
                result.push_back(call);
        return result;
    }

    std::vector<Call> calls;
    std::deque<bool> answers; // answered first, in order; then the defaults below
    bool playAnswer = true;
    bool stopAnswer = true;
};

// Puts a RecordingSoundService in place for the lifetime of the object.
class ScopedRecordingSoundService : public RecordingSoundService
{
public:
    ScopedRecordingSoundService() : m_inUse([this](Services& services) { services.sound = this; })
    {
    }
    ScopedRecordingSoundService(const ScopedRecordingSoundService&) = delete;
    ScopedRecordingSoundService& operator=(const ScopedRecordingSoundService&) = delete;

private:
    ChangedServices m_inUse;
};
