#pragma once

#include <climits>

// Float-to-integer conversion that is defined for every input: NaN gives 0,
// values beyond the int range saturate, everything else truncates toward zero
// exactly as a plain cast would.
inline int truncToInt (double x) noexcept
{
    if (! (x == x))
        return 0;

    if (x >= (double) INT_MAX)
        return INT_MAX;

    if (x <= (double) INT_MIN)
        return INT_MIN;

    return (int) x;
}
