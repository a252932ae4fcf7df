#include "formats/ParallelText.h"

#include <algorithm>
#include <thread>

unsigned spanWorkers()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
}

void writeSpansInParallel(OutputBuffer& out, uint64_t units, uint64_t unitsPerSpan,
                          const MakeSpan& makeSpan, const std::function<void(uint64_t)>& written)
{
    unitsPerSpan = std::max<uint64_t>(unitsPerSpan, 1);
    const unsigned workers = spanWorkers();
    std::vector<std::vector<unsigned char>> spans(workers);
    std::vector<uint64_t> values(workers);
    for (uint64_t roundStart = 0; roundStart < units; roundStart += workers * unitsPerSpan) {
        for (unsigned w = 0; w < workers; ++w) {
            spans[w].clear();
            values[w] = 0;
        }
        auto make = [&](unsigned w) {
            const uint64_t first = roundStart + w * unitsPerSpan;
            OutputBuffer span(appendingTo(spans[w]), size_t(1) << 16);
            values[w] = makeSpan(first, std::min(first + unitsPerSpan, units), span);
            span.finish();
        };
        std::vector<std::thread> threads;
        for (unsigned w = 1; w < workers && roundStart + w * unitsPerSpan < units; ++w) {
            threads.emplace_back(make, w);
        }
        make(0);
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (unsigned w = 0; w < workers; ++w) {
            out.append(spans[w].data(), spans[w].size());
            if (written) {
                written(values[w]);
            }
        }
    }
}
