#pragma once

#include "platform/midi_services.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>

namespace test_support
{
    // MIDI services without hardware: the test adds sources and sends packets
    // from whatever thread it likes. Clients hear of new sources on the
    // message thread, as from the real services.
    class fake_midi_services final : public platform::midi::services
    {
    public:
        using bytes = std::vector<std::uint8_t>;

        std::unique_ptr<platform::midi::client> createClient (const juce::String&, const juce::String&,
                                                              std::function<void()> objectAdded) override
        {
            ++clientsCreated;
            return std::make_unique<fake_client> (state, std::move (objectAdded));
        }

        void addSource (const juce::String& identifier, std::optional<juce::String> name, std::int32_t uniqueID)
        {
            const std::lock_guard<std::mutex> lock (state->mutex);
            state->sources.push_back ({ identifier, std::move (name), uniqueID });

            for (auto* c : state->clients)
            {
                juce::MessageManager::callAsync ([alive = std::weak_ptr<std::function<void()>> (c->objectAdded)]
                {
                    if (const auto notify = alive.lock())
                        (*notify)();
                });
            }
        }

        // Stands for the MIDI thread: one read call with these packets.
        void send (const juce::String& identifier, const std::vector<bytes>& packets)
        {
            std::vector<platform::midi::packet> list;

            for (const auto& p : packets)
                list.push_back ({ p.data(), (int) p.size() });

            const std::lock_guard<std::mutex> lock (state->mutex);

            for (auto* c : state->clients)
                if (c->read && c->connected.count (identifier) != 0)
                    c->read (list.data(), (int) list.size());
        }

        // What every source sends as soon as it is connected.
        void setGreeting (bytes message)
        {
            const std::lock_guard<std::mutex> lock (state->mutex);
            state->greeting = std::move (message);
        }

        bool isConnected (const juce::String& identifier) const
        {
            const std::lock_guard<std::mutex> lock (state->mutex);

            for (auto* c : state->clients)
                if (c->connected.count (identifier) != 0)
                    return true;

            return false;
        }

        std::atomic<int> clientsCreated { 0 };

    private:
        struct fake_client;

        struct shared
        {
            mutable std::mutex mutex;
            std::vector<platform::midi::source> sources;
            std::set<fake_client*> clients;
            bytes greeting;
        };

        struct fake_client final : platform::midi::client
        {
            fake_client (std::shared_ptr<shared> s, std::function<void()> added)
                : state (std::move (s)), objectAdded (std::make_shared<std::function<void()>> (std::move (added)))
            {
                const std::lock_guard<std::mutex> lock (state->mutex);
                state->clients.insert (this);
            }

            ~fake_client() override
            {
                const std::lock_guard<std::mutex> lock (state->mutex);
                state->clients.erase (this);
            }

            bool createInputPort (const juce::String&, reader r) override
            {
                const std::lock_guard<std::mutex> lock (state->mutex);
                read = std::move (r);
                return true;
            }

            std::vector<platform::midi::source> sources() override
            {
                const std::lock_guard<std::mutex> lock (state->mutex);
                return state->sources;
            }

            void connectSource (const platform::midi::source& s) override
            {
                bytes hello;

                {
                    const std::lock_guard<std::mutex> lock (state->mutex);
                    connected.insert (s.identifier);
                    hello = state->greeting;
                }

                // A device may speak the moment it is connected.
                if (! hello.empty() && read)
                {
                    const platform::midi::packet p { hello.data(), (int) hello.size() };
                    read (&p, 1);
                }
            }

            std::shared_ptr<shared> state;
            std::shared_ptr<std::function<void()>> objectAdded;
            reader read;
            std::set<juce::String> connected;
        };

        std::shared_ptr<shared> state = std::make_shared<shared>();
    };

    // Puts fake services in place of the system's for one test.
    struct ScopedFakeMidi
    {
        ScopedFakeMidi() { platform::midi::setServicesForTesting (services); }
        ~ScopedFakeMidi() { platform::midi::setServicesForTesting ({}); }

        std::shared_ptr<fake_midi_services> services = std::make_shared<fake_midi_services>();
    };
}
