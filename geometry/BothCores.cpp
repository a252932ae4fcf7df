#include "geometry/BothCores.h"

#include <exception>
#include <system_error>
#include <thread>

void runBoth(const std::function<void()>& first, const std::function<void()>& second)
{
    std::exception_ptr firstFailure;
    std::exception_ptr secondFailure;
    auto runFirst = [&] {
        try {
            first();
        } catch (...) {
            firstFailure = std::current_exception();
        }
    };
    std::thread other;
    try {
        other = std::thread(runFirst);
    } catch (const std::system_error&) {
        runFirst();
    }
    try {
        second();
    } catch (...) {
        secondFailure = std::current_exception();
    }
    if (other.joinable()) other.join();
    if (firstFailure) std::rethrow_exception(firstFailure);
    if (secondFailure) std::rethrow_exception(secondFailure);
}

void runInHalves(int count, const std::function<void(int, int)>& work)
{
    if (count >= kWorthBothCores) {
        runBoth([&] { work(0, count / 2); }, [&] { work(count / 2, count); });
    } else {
        work(0, count);
    }
}
