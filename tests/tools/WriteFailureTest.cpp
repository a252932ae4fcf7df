// tressmoor-grow when the machine fails a long write: a full disk, a thread that
// cannot start, memory that runs out. Each ends the run at once with one line
// naming the reason, the old file as it was and no temporary file left behind.
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "ToolRunSupport.h"

namespace {

struct FailedRun {
    ToolRun run;
    double seconds = 0.0;
};

// Grow into saves-NAME/NAME, over an old file, with the machine failing as the
// environment says through the interposer.
FailedRun growFailing(const std::string& folder, const std::string& environment,
                      const std::string& arguments, const std::string& name,
                      const char* interposer = WRITE_FAULT_INTERPOSER)
{
    const std::string saves = folder + "/saves-" + name;
    mkdir(saves.c_str(), 0755);
    writeBytes(saves + "/" + name, Bytes{'o', 'l', 'd'});
    const auto start = std::chrono::steady_clock::now();
    FailedRun failed;
    failed.run = runTool(std::string(TRESSMOOR_GROW_BINARY) + " " + arguments + " --out " + saves +
                             "/" + name,
                         folder,
                         // A sanitized tool accepts a library loaded before its runtime.
                         "LD_PRELOAD=" + std::string(interposer) +
                             " ASAN_OPTIONS=\"${ASAN_OPTIONS}:verify_asan_link_order=0\" " +
                             environment + " ");
    failed.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return failed;
}

// One line naming the file and the reason, and the old file alone in its folder.
void expectFailedAndKept(const FailedRun& failed, const std::string& folder,
                         const std::string& name, const std::string& reason)
{
    EXPECT_EQ(failed.run.status, 1) << name << ": " << failed.run.err;
    // The growth's own line comes first; after it, the one line of the failure.
    std::string err = failed.run.err;
    const std::string grown = "tressmoor-grow: growth 1 of 1 done";
    if (err.rfind(grown, 0) == 0) {
        err.erase(0, err.find('\n') + 1);
    }
    EXPECT_EQ(lineCount(err), 1u) << name << ": " << failed.run.err;
    const std::string path = folder + "/saves-" + name + "/" + name;
    EXPECT_EQ(err.rfind("tressmoor-grow: cannot write \"" + path + "\": ", 0), 0u) << err;
    EXPECT_NE(err.find(reason), std::string::npos) << name << ": " << err;
    EXPECT_EQ(failed.run.out.find("wrote"), std::string::npos)
        << name << ": no summary for a failed save";
    const std::string saves = folder + "/saves-" + name;
    EXPECT_EQ(folderEntries(saves), std::vector<std::string>{name});
    EXPECT_EQ(readBytes(saves + "/" + name), (Bytes{'o', 'l', 'd'})) << name;
}

// 5000 guides with 400 children each: 32 million points, 3 to 8 seconds of
// work on two cores, with a progress line every second.
const char* const kLargeGrowth =
    "--shape sphere --hairs 50 --clusters 10 --parts 16 --children 400 --frizz 1";

}  // namespace

// Once the disk refuses a chunk nothing more is made: no progress follows, and
// the run ends long before the file it could not hold would have been written.
TEST(WriteFailure, AFullDiskStopsAtOnceWithOneLineAndKeepsTheOldFile)
{
    const std::string folder = freshFolder("write-full-disk");
    for (const char* name : {"dense.usda", "dense.obj", "dense.hair"}) {
        const FailedRun failed =
            growFailing(folder, "TRESSMOOR_TEST_DISK_BYTES=3000000", kLargeGrowth, name);
        expectFailedAndKept(failed, folder, name, "No space left on device");
        EXPECT_LT(failed.seconds, 3.0) << name;
    }
}

TEST(WriteFailure, AThreadThatCannotStartEndsTheRunWithOneLine)
{
    if (std::thread::hardware_concurrency() < 2) {
        GTEST_SKIP() << "one core: the spans are made without threads";
    }
    const std::string folder = freshFolder("write-no-thread");
    for (const char* name : {"dense.usda", "dense.hair"}) {
        const FailedRun failed = growFailing(folder, "TRESSMOOR_TEST_THREADS=fail",
                                             "--hairs 20 --clusters 5 --children 50", name);
        expectFailedAndKept(failed, folder, name, "cannot start a thread to write it");
    }
}

// A span's text passes 4 MiB as its buffer doubles; no allocation that large is
// made before the writing starts.
TEST(WriteFailure, MemoryThatRunsOutEndsTheRunWithOneLine)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps the allocations to itself";
#endif
    const std::string folder = freshFolder("write-no-memory");
    const FailedRun failed =
        growFailing(folder, "TRESSMOOR_TEST_ALLOCATION_LIMIT=4194304", kLargeGrowth, "dense.usda",
                    ALLOCATION_FAULT_INTERPOSER);
    expectFailedAndKept(failed, folder, "dense.usda", "not enough memory");
}
