#include "audio_thread_log.h"

#include "../platform/system_log.h"

#include <cstdio>

void audio_thread_log::post (const record& r) noexcept
{
    const auto w = written.load (std::memory_order_relaxed);

    if (w - read.load (std::memory_order_acquire) >= capacity)
        return;

    records[w % capacity] = r;
    written.store (w + 1, std::memory_order_release);
}

void audio_thread_log::flush()
{
    auto r = read.load (std::memory_order_relaxed);
    const auto w = written.load (std::memory_order_acquire);
    record previous;
    bool any = false;

    for (; r != w; ++r)
    {
        const auto current = records[r % capacity];

        if (! (any && current == previous))
            write (current);

        previous = current;
        any = true;
    }

    read.store (r, std::memory_order_release);
}

void audio_thread_log::write (const record& r)
{
    using namespace platform::system_log;

    switch (r.kind)
    {
        case line::blockSizeChanged:
            notice ("Zorvalune processBlock blocksize changed to %d  (was %d)  !!!!!!!!!!!  (mode %d)", r.a, r.b, r.c);
            break;

        case line::channelsClamped:
            notice ("Zorvalune processBlock  In chan %d  total In %d  >  MAX_C~HANNELS !!!!!!   ", r.a, r.b);
            break;

        case line::channelsChanged:
            notice ("Zorvalune processBlock  In chan %d  total In %d ", r.a, r.b);
            std::printf ("\nZorvalune processBlock  channels  In %d  total_In %d    Out %d", r.a, r.b, r.c);
            std::fflush (stdout);
            break;

        case line::tapeIndexBelowZero:
            std::printf ("\n!!! curPitchHistStartIndx < 0  (%d)  qsize %d", r.a, r.b);
            std::fflush (stdout);
            break;

        case line::sideChainEntryTooShort:
            notice ("Zorvalune ext sidechain Receive queue buf size < blocksize !!! \n");
            break;

        case line::bypassBlockSizeChanged:
            notice ("Zorvalune processBlock blocksize changed to %d  (was %d)  !!!!!!!!!!!  (src %d)", r.a, r.b, r.c);
            break;

        case line::bypassChannelsClamped:
            notice ("processBlock  In chan %d  total In %d  >  MAX_C~HANNELS !!!!!!   ", r.a, r.b);
            break;

        case line::bypassChannelsChanged:
            notice ("processBlock  In chan %d  total In %d ", r.a, r.b);
            std::printf ("\nprocessBlock  channels  In %d  total_In %d    Out %d", r.a, r.b, r.c);
            std::fflush (stdout);
            break;

        case line::tapeIndexBeyondEnd:
            std::printf ("\n!!! curPitchHistStartIndx >= qsize  (%d)  qsize %d   indxDelta %d    PitchNrSamples %d  LFO %f",
                         r.a, r.b, r.c, r.d, (double) r.f);
            std::fflush (stdout);
            break;
    }
}
