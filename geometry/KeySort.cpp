#include "geometry/KeySort.h"

#include <algorithm>
#include <vector>

#include "geometry/BothCores.h"

// Least significant digit first, 10 bits at a time over the 30 bits of the
// codes. A large array's halves are counted and placed on a core each, the
// first half's keys of a digit before the second's.
void sortKeysByCode(std::unique_ptr<uint64_t[]>& keys, int32_t count)
{
    constexpr int kDigitBits = 10;
    constexpr int kDigits = 1 << kDigitBits;
    constexpr int kCodeBits = 30;
    std::unique_ptr<uint64_t[]> sorted(new uint64_t[size_t(count > 0 ? count : 1)]);
    std::vector<int32_t> starts(2 * size_t(kDigits));
    const int32_t bounds[3] = {0, count / 2, count};
    const bool split = count >= kWorthBothCores;
    auto inHalves = [split](const std::function<void(int)>& work) {
        if (split) {
            runBoth([&] { work(0); }, [&] { work(1); });
        } else {
            work(0);
            work(1);
        }
    };
    for (int shift = 32; shift < 32 + kCodeBits; shift += kDigitBits) {
        auto digit = [shift](uint64_t key) { return int((key >> shift) & (kDigits - 1)); };
        inHalves([&](int half) {
            int32_t* mine = starts.data() + size_t(half) * kDigits;
            std::fill(mine, mine + kDigits, 0);
            for (int32_t i = bounds[half]; i < bounds[half + 1]; ++i) ++mine[digit(keys[i])];
        });
        int32_t running = 0;
        for (int d = 0; d < kDigits; ++d) {
            for (int half = 0; half < 2; ++half) {
                int32_t& start = starts[size_t(half) * kDigits + size_t(d)];
                const int32_t here = start;
                start = running;
                running += here;
            }
        }
        inHalves([&](int half) {
            int32_t* mine = starts.data() + size_t(half) * kDigits;
            for (int32_t i = bounds[half]; i < bounds[half + 1]; ++i) sorted[mine[digit(keys[i])]++] = keys[i];
        });
        keys.swap(sorted);
    }
}
