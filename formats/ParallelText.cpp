#include "formats/ParallelText.h"

#include <algorithm>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

namespace {

// More workers than this would hold more spans in memory than they gain in speed.
constexpr unsigned kMostWorkers = 16;
// A worker's span gathers in chunks of this size before they join its bytes.
constexpr size_t kSpanChunkSize = size_t(1) << 16;

// What ended a worker, said as one reason.
std::string reasonOf(const std::exception_ptr& thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return "there is not enough memory to write it";
    } catch (const std::system_error& error) {
        return std::string("cannot start a thread to write it: ") + error.what();
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace

unsigned spanWorkers()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

void writeSpansInParallel(OutputBuffer& out, uint64_t units, uint64_t unitsPerSpan,
                          const MakeSpan& makeSpan, const std::function<void(uint64_t)>& written)
{
    unitsPerSpan = std::max<uint64_t>(unitsPerSpan, 1);
    const unsigned workers = spanWorkers();
    std::vector<std::vector<unsigned char>> spans(workers);
    std::vector<uint64_t> values(workers);
    std::vector<std::string> failures(workers);
    std::vector<std::exception_ptr> thrown(workers);
    for (uint64_t roundStart = 0; roundStart < units && !out.failed();
         roundStart += workers * unitsPerSpan) {
        for (unsigned w = 0; w < workers; ++w) {
            spans[w].clear();
            values[w] = 0;
        }
        // A worker that fails says why; nothing it throws may end the process.
        auto make = [&](unsigned w) {
            try {
                const uint64_t first = roundStart + w * unitsPerSpan;
                OutputBuffer span(appendingTo(spans[w]), kSpanChunkSize);
                values[w] = makeSpan(first, std::min(first + unitsPerSpan, units), span);
                span.finish();
                failures[w] = span.failed() ? span.failure() : std::string();
            } catch (...) {
                thrown[w] = std::current_exception();
            }
        };
        std::vector<std::thread> threads;
        try {
            for (unsigned w = 1; w < workers && roundStart + w * unitsPerSpan < units; ++w) {
                threads.emplace_back(make, w);
            }
        } catch (...) {
            thrown[threads.size() + 1] = std::current_exception();
        }
        make(0);
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (unsigned w = 0; w < workers && !out.failed(); ++w) {
            if (thrown[w]) {
                out.fail(reasonOf(thrown[w]));
            } else if (!failures[w].empty()) {
                out.fail(failures[w]);
            } else {
                out.append(spans[w].data(), spans[w].size());
                if (written && !out.failed()) {
                    written(values[w]);
                }
            }
        }
    }
}
