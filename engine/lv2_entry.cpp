// The LV2 library's entry point, around the framework's own (which the build
// renames to juce_lv2_descriptor). The framework's LV2 client sets itself up
// with each instance and tears itself down with the last one (see
// framework_lifetime.h): here instances are created and deleted one at a time,
// and the framework stays set up from the first instance until the library is
// unloaded.
#undef lv2_descriptor

#include "framework_lifetime.h"

#include <lv2/core/lv2.h>

#include <mutex>

extern "C" const LV2_Descriptor* juce_lv2_descriptor (uint32_t index);

namespace
{
    std::mutex instancesChanging;
    const LV2_Descriptor* framework = nullptr;

    LV2_Handle instantiate (const LV2_Descriptor*, double rate, const char* bundle, const LV2_Feature* const* features)
    {
        const std::lock_guard<std::mutex> oneAtATime (instancesChanging);
        framework_lifetime::keepSetUpUntilUnloaded();
        return framework->instantiate (framework, rate, bundle, features);
    }

    void cleanup (LV2_Handle instance)
    {
        const std::lock_guard<std::mutex> oneAtATime (instancesChanging);
        framework->cleanup (instance);
    }
}

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    static const LV2_Descriptor* const wrapped = []() -> const LV2_Descriptor*
    {
        framework = juce_lv2_descriptor (0);

        if (framework == nullptr)
            return nullptr;

        static LV2_Descriptor ours = *framework;
        ours.instantiate = instantiate;
        ours.cleanup = cleanup;
        return &ours;
    }();

    return index == 0 ? wrapped : nullptr;
}
