#include "tools/StrandOutput.h"

#include <cstdio>


namespace {

constexpr long long kProgressInterval = 1000;  // milliseconds

// At most one line a second, and none for work that ends within the first.
class ProgressLines {
public:
    ProgressLines(const char* program, ToolClock::time_point start) : program(program), start(start) {}

    void report(uint64_t done, uint64_t total)
    {
        const long long elapsed = millisecondsSince(start);
        if (elapsed - lastReport >= kProgressInterval && total > 0) {
            fprintf(stderr, "%s: %d%% written (%lld ms)\n", program,
                    static_cast<int>(100 * done / total), elapsed);
            lastReport = elapsed;
            reported = true;
        }
    }

    const char* program;
    ToolClock::time_point start;
    long long lastReport = 0;
    bool reported = false;
};

}  // namespace

bool writeStrandFile(const std::string& path, const StrandStream& stream,
                     const TressmoorStrands& own, HairFileFormat format, const ExportSettings& settings,
                     const char* program, ToolClock::time_point start, std::string& problem)
{
    ProgressLines progress(program, start);
    return saveHairFileAs(
        path, stream, own, format, settings, problem,
        [&progress](uint64_t done, uint64_t total) { progress.report(done, total); },
        [&progress, program, start] {
            if (progress.reported) {
                fprintf(stderr, "%s: 100%% written, flushing to disk (%lld ms)\n", program,
                        millisecondsSince(start));
            }
        });
}
