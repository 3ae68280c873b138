#include "midi_services.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <map>
#include <mutex>
#include <set>

namespace
{
    // The framework tells nobody when ALSA devices come and go: we look.
    constexpr int devicePollIntervalMs = 1000;

    // Without the sequencer device every look at ALSA fails, and says so on stderr.
    std::vector<juce::MidiDeviceInfo> availableInputs()
    {
        if (! juce::File ("/dev/snd/seq").exists())
            return {};

        const auto devices = juce::MidiInput::getAvailableDevices();
        return { devices.begin(), devices.end() };
    }

    // ALSA names a port "client-port". Client 0 is the sequencer itself
    // (timer, announcements), not a MIDI source: its ports read as id 0.
    std::int32_t uniqueIDOf (const juce::String& identifier)
    {
        if (! identifier.containsChar ('-'))
            return 0;

        const int clientNumber = identifier.upToFirstOccurrenceOf ("-", false, false).getIntValue();
        const int port = identifier.fromFirstOccurrenceOf ("-", false, false).getIntValue();
        return clientNumber > 0 ? (std::int32_t) ((clientNumber << 16) | (port & 0xffff)) : 0;
    }

    // One juce::MidiInput per connected source; together they are our port.
    // ALSA's client name is fixed when the framework is built
    // (JUCE_ALSA_MIDI_NAME), each port takes its source's name, and ALSA keeps
    // no manufacturer: the names asked for are not used.
    class alsa_client final : public platform::midi::client,
                              private juce::MidiInputCallback,
                              private juce::Timer
    {
    public:
        explicit alsa_client (std::function<void()> added) : objectAdded (std::move (added))
        {
            for (const auto& device : availableInputs())
                known.insert (device.identifier);

            startTimer (devicePollIntervalMs);
        }

        ~alsa_client() override
        {
            stopTimer();
            inputs.clear();   // each waits for a delivery in progress
        }

        bool createInputPort (const juce::String&, reader r) override
        {
            read = std::move (r);
            return true;
        }

        std::vector<platform::midi::source> sources() override
        {
            std::vector<platform::midi::source> list;

            for (const auto& device : availableInputs())
                list.push_back ({ device.identifier,
                                  device.name.isNotEmpty() ? std::optional<juce::String> (device.name) : std::nullopt,
                                  uniqueIDOf (device.identifier) });

            return list;
        }

        void connectSource (const platform::midi::source& s) override
        {
            if (! read || inputs.count (s.identifier) != 0)
                return;

            if (auto input = juce::MidiInput::openDevice (s.identifier, this))
            {
                input->start();
                inputs.emplace (s.identifier, std::move (input));
            }
        }

    private:
        // The framework's ALSA thread, one complete message at a time.
        void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message) override
        {
            const platform::midi::packet p { message.getRawData(), message.getRawDataSize() };
            read (&p, 1);
        }

        void timerCallback() override
        {
            std::set<juce::String> present;
            bool added = false;

            for (const auto& device : availableInputs())
            {
                present.insert (device.identifier);
                added = added || known.count (device.identifier) == 0;
            }

            // A source that vanished took its subscription along: should it
            // come back, it must be connected anew.
            for (auto it = inputs.begin(); it != inputs.end();)
                it = present.count (it->first) == 0 ? inputs.erase (it) : std::next (it);

            known = std::move (present);

            if (added)
                objectAdded();
        }

        const std::function<void()> objectAdded;
        reader read;
        std::set<juce::String> known;
        std::map<juce::String, std::unique_ptr<juce::MidiInput>> inputs;
    };

    class alsa_services final : public platform::midi::services
    {
    public:
        std::unique_ptr<platform::midi::client> createClient (const juce::String&, const juce::String&,
                                                              std::function<void()> objectAdded) override
        {
            return std::make_unique<alsa_client> (std::move (objectAdded));
        }
    };

    std::mutex servicesMutex;
    std::shared_ptr<platform::midi::services> replacedServices;
}

std::shared_ptr<platform::midi::services> platform::midi::systemServices()
{
    const std::lock_guard<std::mutex> lock (servicesMutex);

    if (replacedServices != nullptr)
        return replacedServices;

    static const auto alsa = std::make_shared<alsa_services>();
    return alsa;
}

void platform::midi::setServicesForTesting (std::shared_ptr<services> replacement)
{
    const std::lock_guard<std::mutex> lock (servicesMutex);
    replacedServices = std::move (replacement);
}
