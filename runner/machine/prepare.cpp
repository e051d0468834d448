#include "runner/machine/prepare.h"

#include "common/operations.h"

#include <cstddef>
#include <iterator>

namespace tessivor {

namespace {

// Classifies the characters of the code string as a vector is filled from it, so that `codes`
// is written once instead of zeroed first.
class Classified {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::int32_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::int32_t*;
    using reference = std::int32_t;

    explicit Classified(const char* p) : p_(p) {}
    std::int32_t operator*() const { return classify(static_cast<unsigned char>(*p_)); }
    Classified& operator++() {
        ++p_;
        return *this;
    }
    Classified operator++(int) {
        Classified old = *this;
        ++p_;
        return old;
    }
    bool operator==(const Classified& other) const { return p_ == other.p_; }

private:
    const char* p_;
};

} // namespace

Prepared prepare(std::string_view incode) {
    Prepared t;
    const std::size_t n = incode.size();
    t.codes.reserve(n + 1);
    // A "k" or "v" at position 1 counts as preceded by a space.
    t.codes.push_back(kOpSpace);
    t.codes.insert(t.codes.end(), Classified(incode.data()), Classified(incode.data() + n));

    // Labels and addresses in one forward pass; a 100th label stops it.
    t.addrs.assign(n + 1, 0);
    int count = 0;
    const std::int32_t* codes = t.codes.data();
    for (std::size_t j = 1; j <= n; ++j) {
        if (codes[j] == kOpLabel && codes[j - 1] == kOpSpace) {
            if (++count >= kLabels) {
                t.failedAt = static_cast<std::int32_t>(j);
                return t;
            }
            t.lblpos[count] = static_cast<std::int32_t>(j);
        }
        if (codes[j] == kOpAddress && j + 2 <= n) {
            const std::int32_t d1 = codes[j + 1], d2 = codes[j + 2];
            if (d1 >= 0 && d1 <= 9 && d2 >= 0 && d2 <= 9) t.addrs[j] = 10 * d1 + d2;
        }
    }

    // Each position's end-if is the nearest marker at or after it: one backward sweep gives the
    // same table as a forward search from every position.
    t.eifpos.resize(n + 1);
    t.eifpos[0] = 0;
    std::int32_t next = 0;
    for (std::size_t j = n; j >= 1; --j) {
        if (codes[j] == kOpEndIf && codes[j - 1] == kOpSpace) next = static_cast<std::int32_t>(j);
        t.eifpos[j] = next;
    }
    return t;
}

} // namespace tessivor
