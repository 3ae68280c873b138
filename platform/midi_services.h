#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The system's MIDI services as one input client sees them: a client that is
// told when sources appear, one input port, and connections from sources to
// that port. On Linux the services are ALSA's, reached through juce::MidiInput;
// tests put a fake in their place.
namespace platform::midi
{
    // The bytes of one packet; a packet may hold several messages.
    struct packet
    {
        const std::uint8_t* data = nullptr;
        int length = 0;
    };

    struct source
    {
        juce::String identifier;                  // what connectSource finds it by
        std::optional<juce::String> displayName;  // none when it cannot be read
        std::int32_t uniqueID = 0;                // 0 when it cannot be read
    };

    class client
    {
    public:
        // Runs on the services' own MIDI thread with every packet list that a
        // connected source delivers.
        using reader = std::function<void (const packet* packets, int count)>;

        // Ends the port and its connections: once it returns, no reader call
        // is running or will run.
        virtual ~client() = default;

        // Message thread. `read` is fixed for the port's life.
        virtual bool createInputPort (const juce::String& name, reader read) = 0;

        // Message thread: the sources present now, in the system's order.
        virtual std::vector<source> sources() = 0;

        // Message thread. Connecting a connected source again changes nothing.
        virtual void connectSource (const source& s) = 0;
    };

    class services
    {
    public:
        virtual ~services() = default;

        // Message thread. `objectAdded` runs on the message thread whenever a
        // source appears, until the client is deleted.
        virtual std::unique_ptr<client> createClient (const juce::String& name,
                                                      const juce::String& manufacturer,
                                                      std::function<void()> objectAdded) = 0;
    };

    // The services new MIDI inputs use: ALSA's, unless a test replaced them.
    std::shared_ptr<services> systemServices();

    // Replaces the services for inputs created from now on; {} restores ALSA's.
    void setServicesForTesting (std::shared_ptr<services> replacement);
}
