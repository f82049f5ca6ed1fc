#pragma once

#include <cstdint>

// The flag bits of a sound request, with the values the Windows multimedia API publishes for
// them, so that flag words written down as numbers (8214, 139282, 64) mean the same here.
inline constexpr uint32_t SND_SYNC = 0x0;         // return only when the sound has ended
inline constexpr uint32_t SND_ASYNC = 0x1;        // return at once, play in the background
inline constexpr uint32_t SND_NODEFAULT = 0x2;    // a sound that cannot be found stays silent
inline constexpr uint32_t SND_MEMORY = 0x4;       // the sound is a WAV image in memory
inline constexpr uint32_t SND_LOOP = 0x8;         // repeat until stopped (needs SND_ASYNC)
inline constexpr uint32_t SND_NOSTOP = 0x10;      // refuse while another sound still plays
inline constexpr uint32_t SND_PURGE = 0x40;       // stop every sound of the program
inline constexpr uint32_t SND_NOWAIT = 0x2000;    // fail at once when the device is busy
inline constexpr uint32_t SND_FILENAME = 0x20000; // the sound is a file name
