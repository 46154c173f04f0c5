// Inputs a call reads in place (borrowed): a fault on their memory (a file
// they are mapped from, truncated) ends the call with InputChanged naming
// the input, and a warning callback that changes them stops the call with
// an error, while the guard stays out of the callback's way.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <numeric>
#include <vector>

#include "call_runner.hpp"
#include "mapped_input_guard.hpp"
#include "plugin_loader.hpp"
#include "plugin_testing.hpp"

namespace {

namespace fs = std::filesystem;

kyxFunctionType probe() { return ky::loadPlugin(KY_PROBE_PLUGIN); }

// A file of count doubles 1, 2, ..., mapped read-only; unmapped and removed
// at the end.
class MappedDoubles {
public:
    explicit MappedDoubles(std::size_t count) : bytes_(count * sizeof(double))
    {
        path_ = fs::temp_directory_path() / ("kyhost-borrowed-" + std::to_string(::getpid()) + ".bin");
        std::vector<double> values(count);
        std::iota(values.begin(), values.end(), 1.0);
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        EXPECT_EQ(std::fwrite(values.data(), sizeof(double), count, file), count);
        EXPECT_EQ(std::fclose(file), 0);
        const int fd = ::open(path_.c_str(), O_RDONLY);
        mapping_ = ::mmap(nullptr, bytes_, PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        EXPECT_NE(mapping_, MAP_FAILED);
    }
    ~MappedDoubles()
    {
        ::munmap(mapping_, bytes_);
        fs::remove(path_);
    }

    const double* data() const { return static_cast<const double*>(mapping_); }
    void truncate() const { ASSERT_EQ(::truncate(path_.c_str(), 0), 0); }

private:
    fs::path path_;
    std::size_t bytes_;
    void* mapping_;
};

ky::ArrayHandle borrowed(const double* data, std::int32_t count)
{
    return ky::ArrayHandle(ky::createBorrowed(ky::ArrayClass::Double, 1, count, const_cast<double*>(data)));
}

ky::CallOutcome sum(const char* action, const kyArray* values, const ky::WarningSink& onWarning = {})
{
    ky::ArrayHandle name = ky::testing::text(action);
    return ky::runCall(probe(), 1, std::vector<const kyArray*>{name.get(), values}, onWarning);
}

TEST(BorrowedInputs, AMappedFileTruncatedUnderACallEndsItWithInputChanged)
{
    const MappedDoubles file(100000);
    ky::ArrayHandle values = borrowed(file.data(), 100000);
    ASSERT_EQ(ky::testing::values(sum("sum", values.get()).result.get()), std::vector<double>{5000050000.0});
    // Truncated before the call reads it, and while a warning is handled.
    file.truncate();
    try {
        sum("sum", values.get());
        FAIL() << "no InputChanged";
    } catch (const ky::InputChanged& changed) {
        EXPECT_STREQ(changed.what(),
                     "input 2 became unreadable while the call read it: the file its memory is mapped from shrank");
    }
    EXPECT_THROW(sum("warn-then-sum", values.get(), [](const std::string&) {}), ky::InputChanged);
    EXPECT_EQ(ky::currentCall(), nullptr);
}

TEST(BorrowedInputs, AWarningCallbackThatChangesABorrowedInputStopsTheCall)
{
    std::vector<double> buffer{1, 2, 3};
    ky::ArrayHandle values = borrowed(buffer.data(), 3);
    const ky::CallOutcome changed = sum("warn-then-sum", values.get(), [&](const std::string&) { buffer[1] = 20; });
    ASSERT_TRUE(changed.error);
    EXPECT_EQ(*changed.error, "An input the call reads in place changed while the warning was handled (warning: "
                              "probe warns); the call was stopped.");
    EXPECT_FALSE(changed.result);
    // A callback that only looks goes on; so does one that changes a copy.
    const ky::CallOutcome looked = sum("warn-then-sum", values.get(), [&](const std::string&) { (void)buffer[1]; });
    EXPECT_EQ(ky::testing::values(looked.result.get()), std::vector<double>{24});
    ky::ArrayHandle copied = ky::testing::row(buffer);
    const ky::CallOutcome ownCopy = sum("warn-then-sum", copied.get(), [&](const std::string&) { buffer[0] = 100; });
    EXPECT_EQ(ky::testing::values(ownCopy.result.get()), std::vector<double>{24});
}

TEST(BorrowedInputs, AFaultInsideAWarningCallbackIsNotCaughtByTheCallsGuard)
{
    // A jump out of the callback would skip frames the host does not own:
    // the fault goes where it would go without the guard (here the default
    // action, or the sanitizer's report), in a child process.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const MappedDoubles file(100000);
        ky::ArrayHandle values = borrowed(file.data(), 100000);
        volatile double seen = 0;
        try {
            sum("warn-then-sum", values.get(), [&](const std::string&) {
                file.truncate();
                seen = file.data()[50000];
            });
        } catch (const ky::InputChanged&) {
            ::_exit(3);  // the guard jumped out of the callback
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // Neither an ordinary end nor the guard's error: the fault ended it.
    EXPECT_FALSE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3)) << status;
}

}  // namespace
