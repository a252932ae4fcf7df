#include "tools/StrandOutput.h"

#include <cstdio>
#include <new>

#include "formats/FileIo.h"
#include "formats/OutputBuffer.h"

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
    AtomicFileWriter writer;
    if (!writer.open(path, problem)) {
        return false;
    }
    // Any failure below leaves the writer uncommitted, which removes its file.
    try {
        OutputBuffer out([&writer](const unsigned char* data, size_t size) {
            return writer.write(data, size);
        });
        ProgressLines progress(program, start);
        writeHairFileAs(stream, own, format, settings, out,
                        [&progress](uint64_t done, uint64_t total) { progress.report(done, total); });
        if (!out.finish() && !out.failure().empty()) {
            problem = out.failure();
            return false;
        }
        if (!out.failed() && progress.reported) {
            fprintf(stderr, "%s: 100%% written, flushing to disk (%lld ms)\n", program,
                    millisecondsSince(start));
        }
    } catch (const std::bad_alloc&) {
        problem = "there is not enough memory to write it";
        return false;
    }
    // A sink that refused has recorded why, which the commit names.
    return writer.commit(problem);
}
