#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// Where a tone's level steps between two levels, as a listener would place
// it: the sample at which the level, measured over a short window, crosses
// halfway (in dB) between the quietest and the loudest level heard. A gain
// glide that is linear in dB crosses halfway at its middle, so steps of one
// length give crossings that length apart.
namespace level_steps
{
    inline std::vector<double> crossings (const float* x, int length, int window = 960)
    {
        constexpr int hop = 16;
        std::vector<double> db;

        for (int start = 0; start + window <= length; start += hop)
        {
            double sum = 0.0;

            for (int i = start; i < start + window; ++i)
                sum += (double) x[i] * x[i];

            db.push_back (sum > 0.0 ? 10.0 * std::log10 (sum / window) : -200.0);
        }

        if (db.empty())
            return {};

        // The level of a tone over a window that holds no whole number of its
        // periods ripples a little: a crossing counts once the level is 1 dB
        // past the middle, and lies halfway between the windows that were
        // last 1 dB short of it and first 1 dB past it.
        auto sorted = db;
        std::sort (sorted.begin(), sorted.end());
        const double middle = 0.5 * (sorted[sorted.size() / 20] + sorted[sorted.size() - 1 - sorted.size() / 20]);
        std::vector<double> found;
        int side = 0;
        size_t lastOnSide = 0;

        for (size_t k = 0; k < db.size(); ++k)
        {
            const int now = db[k] > middle + 1.0 ? 1 : db[k] < middle - 1.0 ? -1 : 0;

            if (now != 0 && side != 0 && now != side)
                found.push_back ((double) (lastOnSide + k) * 0.5 * hop + 0.5 * window);

            if (now != 0)
            {
                side = now;
                lastOnSide = k;
            }
        }

        return found;
    }
}
