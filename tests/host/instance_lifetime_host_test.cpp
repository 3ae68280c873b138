#include <gtest/gtest.h>

#include "plugin_host.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <thread>

namespace
{
    // The least an LV2 host offers: ids for URIs, and the largest block it
    // runs. Bare, as the usual host library is itself unsafe on two threads.
    struct lv2_features
    {
        static LV2_URID map (LV2_URID_Map_Handle handle, const char* uri)
        {
            auto& self = *static_cast<lv2_features*> (handle);
            const std::lock_guard<std::mutex> hold (self.lock);
            return self.ids.emplace (uri, (LV2_URID) self.ids.size() + 1).first->second;
        }

        std::mutex lock;
        std::map<std::string, LV2_URID> ids;
        LV2_URID_Map mapper { this, map };
        const int32_t maxBlock = 512;
        const LV2_Options_Option options[2] {
            { LV2_OPTIONS_INSTANCE, 0, map (this, LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), map (this, "http://lv2plug.in/ns/ext/atom#Int"), &maxBlock },
            {} };
        const LV2_Feature mapFeature { LV2_URID__map, &mapper }, bounded { LV2_BUF_SIZE__boundedBlockLength, nullptr };
        const LV2_Feature optionsFeature { LV2_OPTIONS__options, const_cast<LV2_Options_Option*> (options) };
        const LV2_Feature* const all[4] { &mapFeature, &optionsFeature, &bounded, nullptr };
    };

    // The ids of this process's threads named "JUCE Timer".
    juce::StringArray timerThreads()
    {
        juce::StringArray ids;

        for (const auto& task : juce::File ("/proc/self/task").findChildFiles (juce::File::findDirectories, false))
            if (task.getChildFile ("comm").loadFileAsString().startsWith ("JUCE Timer"))
                ids.add (task.getFileName());

        return ids;
    }
}

// A host creates an instance on one thread while it deletes the last other one
// on another, again and again. The plug-in's framework stays set up all along:
// its timer thread is the same one afterwards.
TEST (InstanceLifetimeHost, Lv2InstancesCreatedWhileTheLastOtherOneIsDeletedElsewhere)
{
    const auto bundle = plugin_host::bundle (plugin_host::Format::lv2);
    void* library = dlopen (bundle.getChildFile ("libZorvalune.so").getFullPathName().toRawUTF8(), RTLD_NOW);
    ASSERT_NE (library, nullptr) << dlerror();
    const auto* plugin = reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor")) (0);
    ASSERT_NE (plugin, nullptr);

    lv2_features features;
    const auto path = bundle.getFullPathName() + "/";
    const auto create = [&] { return plugin->instantiate (plugin, 48000.0, path.toRawUTF8(), features.all); };

    LV2_Handle first = create();
    ASSERT_NE (first, nullptr);

    for (int i = 0; i < 200 && timerThreads().isEmpty(); ++i)   // the message thread starts it
        std::this_thread::sleep_for (std::chrono::milliseconds (10));

    const auto timerThreadsAtFirst = timerThreads();
    ASSERT_FALSE (timerThreadsAtFirst.isEmpty());
    plugin->cleanup (first);
    std::atomic<int> created { 0 };

    const auto createAndDelete = [&]
    {
        for (int i = 0; i < 30; ++i)
            if (LV2_Handle instance = create(); instance != nullptr)
            {
                ++created;
                plugin->cleanup (instance);
            }
    };

    std::thread other (createAndDelete);
    createAndDelete();
    other.join();
    EXPECT_EQ (created.load(), 60);

    const auto stillThere = timerThreads();
    EXPECT_TRUE (std::any_of (timerThreadsAtFirst.begin(), timerThreadsAtFirst.end(),
                              [&] (const auto& id) { return stillThere.contains (id); }))
        << "the last instance's end took the framework's timer thread with it";
    dlclose (library);
}
