#include "runner/machine/prepare.h"

#include "runner/machine/operations.h"

namespace tessivor {

Prepared prepare(std::string_view incode) {
    Prepared t;
    const std::size_t n = incode.size();
    t.codes.assign(n + 1, 0);
    t.eifpos.assign(n + 1, 0);
    t.addrs.assign(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        t.codes[i] = classify(static_cast<unsigned char>(incode[i - 1]));
    }
    // A "k" or "v" at position 1 counts as preceded by a space.
    t.codes[0] = kOpSpace;

    // Each position's end-if is the nearest marker at or after it: one backward sweep gives the
    // same table as a forward search from every position.
    std::int32_t next = 0;
    for (std::size_t j = n; j >= 1; --j) {
        if (t.codes[j] == kOpEndIf && t.codes[j - 1] == kOpSpace) next = static_cast<std::int32_t>(j);
        t.eifpos[j] = next;
    }

    int count = 0;
    for (std::size_t j = 1; j <= n; ++j) {
        if (t.codes[j] == kOpLabel && t.codes[j - 1] == kOpSpace) {
            if (++count >= kLabels) {
                t.failedAt = static_cast<std::int32_t>(j);
                return t;
            }
            t.lblpos[count] = static_cast<std::int32_t>(j);
        }
    }

    for (std::size_t i = 1; i + 2 <= n; ++i) {
        const std::int32_t d1 = t.codes[i + 1], d2 = t.codes[i + 2];
        if (t.codes[i] == kOpAddress && d1 >= 0 && d1 <= 9 && d2 >= 0 && d2 <= 9) {
            t.addrs[i] = 10 * d1 + d2;
        }
    }
    return t;
}

} // namespace tessivor
