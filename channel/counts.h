// Float settings become integer counts in double precision, truncated toward
// zero. Values outside the 32-bit range saturate and NaN becomes 0, so no
// out-of-range conversion (undefined in C++) ever happens.
#pragma once

#include <stdint.h>

inline int32_t TruncateToCount(double quotient) {
    if (quotient != quotient) return 0;
    if (quotient >= 2147483648.0) return INT32_MAX;
    if (quotient <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(quotient);
}

inline int32_t LimitCount(int32_t count, int32_t lowest, int32_t highest) {
    if (count < lowest) return lowest;
    if (count > highest) return highest;
    return count;
}
