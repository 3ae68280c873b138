#include "filter_coefficients.h"

#include <algorithm>
#include <cmath>

namespace
{
    constexpr double pi = 3.14159265358979323846;
    constexpr double sqrt2 = 1.41421356237309504880;

    void store (filter_coefficients& out, double b0, double b1, double b2, double a1, double a2) noexcept
    {
        out.b0 = (float) b0;
        out.b1 = (float) b1;
        out.b2 = (float) b2;
        out.a1 = (float) a1;
        out.a2 = (float) a2;
    }
}

double butterworth::highestDesignFrequency (double sampleRate) noexcept
{
    return 0.49 * sampleRate;
}

void butterworth::lowPass (double frequency, double sampleRate, filter_coefficients& out) noexcept
{
    frequency = std::min (frequency, highestDesignFrequency (sampleRate));
    const double c = 1.0 / std::tan (pi * frequency / sampleRate);
    const double n = 1.0 / (1.0 + sqrt2 * c + c * c);
    store (out, n, 2.0 * n, n, 2.0 * (1.0 - c * c) * n, (1.0 - sqrt2 * c + c * c) * n);
}

void butterworth::highPass (double frequency, double sampleRate, filter_coefficients& out) noexcept
{
    frequency = std::min (frequency, highestDesignFrequency (sampleRate));
    const double k = std::tan (pi * frequency / sampleRate);
    const double n = 1.0 / (1.0 + sqrt2 * k + k * k);
    store (out, n, -2.0 * n, n, 2.0 * (k * k - 1.0) * n, (1.0 - sqrt2 * k + k * k) * n);
}
