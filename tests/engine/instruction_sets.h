#pragma once

#include <gtest/gtest.h>

#include "engine/lane_math.h"

#include <hwy/targets.h>

#include <cstdint>
#include <string>
#include <vector>

// Runs test code once on each instruction set the engine is built for that
// this machine runs (the widest first, the plain one last), then goes back
// to the one the machine would choose.
namespace instruction_sets
{
    inline const std::vector<std::int64_t>& available()
    {
        static const std::vector<std::int64_t> sets = []
        {
            std::vector<std::int64_t> s;

            for (auto t : { HWY_AVX3, HWY_AVX2, HWY_SSE4, HWY_SSSE3, HWY_SCALAR })
                if ((hwy::SupportedTargets() & t) != 0)
                    s.push_back (t);

            return s;
        }();

        return sets;
    }

    // fn (name) with each set in force.
    template <typename Fn>
    void each (Fn fn)
    {
        for (auto target : available())
        {
            hwy::SetSupportedTargetsForTest (target);
            lane_math::chooseInstructionSet();
            ASSERT_EQ (std::string (lane_math::instructionSetName()), hwy::TargetName (target));
            fn (hwy::TargetName (target));
        }

        hwy::SetSupportedTargetsForTest (0);
        lane_math::chooseInstructionSet();
    }
}
