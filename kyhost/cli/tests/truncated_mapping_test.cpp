// A mapped .npy input whose file is truncated while a call reads it: the
// call ends with an error naming the file, never with a bus error, and the
// call's memory is reclaimed as after any error.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "call_runner.hpp"
#include "kyx.h"
#include "mapped_input_guard.hpp"
#include "npy_mapping.hpp"

namespace {

namespace fs = std::filesystem;

// The file the test entry point truncates before it reads its input.
std::string fileToTruncate;

// Takes working memory, truncates its input's file, then reads every
// element: the first read past the new end faults.
void truncateThenRead(int, kyArray* outputs[], int, const kyArray* inputs[])
{
    kyCalloc(1 << 16, 1);
    if (::truncate(fileToTruncate.c_str(), 0) != 0) kyxErrMsgTxt("truncate failed");
    const auto* bytes = reinterpret_cast<const volatile unsigned char*>(kyGetPr(inputs[0]));
    const std::size_t size = static_cast<std::size_t>(kyGetNumberOfElements(inputs[0])) * (kyIsUint8(inputs[0]) ? 1 : 8);
    unsigned sum = 0;
    for (std::size_t k = 0; k < size; ++k) sum += bytes[k];
    outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
    kyGetPr(outputs[0])[0] = sum;
}

class TruncatedMapping : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("kyhost-truncated-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A .npy vector of count elements of the type, 64-byte header as NumPy
    // writes it.
    std::string npyFile(const std::string& name, const std::string& descr, std::size_t count, std::size_t itemSize)
    {
        std::string header = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" + std::to_string(count) +
                             ",), }";
        header.append((64 - (10 + header.size() + 1) % 64) % 64, ' ');
        header.push_back('\n');
        std::string content("\x93NUMPY\x01\x00", 8);
        content.push_back(static_cast<char>(header.size() & 0xff));
        content.push_back(static_cast<char>(header.size() >> 8));
        content += header;
        content.append(count * itemSize, '\x01');
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    fs::path dir;
};

TEST_F(TruncatedMapping, EveryMappedKindEndsTheCallWithAnErrorNamingTheFile)
{
    struct Kind {
        const char* descr;
        std::size_t itemSize;
    };
    for (const Kind kind : {Kind{"<f8", 8}, Kind{"|u1", 1}}) {
        const std::string path = npyFile(std::string("in") + kind.descr[1] + ".npy", kind.descr, 100000, kind.itemSize);
        ky::ArrayHandle input = ky::readNpyInPlace(path);
        ASSERT_TRUE(input->borrowed) << kind.descr << ": the test needs a mapped input";
        fileToTruncate = path;
        const kyArray* inputs[] = {input.get()};
        try {
            ky::runCall(truncateThenRead, 1, inputs);
            ADD_FAILURE() << kind.descr << ": the call read a truncated file without an error";
        } catch (const ky::InputChanged& error) {
            EXPECT_EQ(error.what(), "input file '" + path + "' changed while it was read");
        }
        // The call is over: no call is current, and a new one runs normally.
        EXPECT_EQ(ky::currentCall(), nullptr);
    }
}

// The process ends abnormally: by the signal itself, or by the report and
// abort of a sanitizer's handler that was installed before the guard.
bool endedByTheFault(int status) { return WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0); }

TEST_F(TruncatedMapping, OtherBusErrorsGoToThePreviousHandler)
{
    const std::string path = npyFile("x.npy", "<f8", 1000, 8);
    ky::ArrayHandle input = ky::readNpyInPlace(path);
    ASSERT_TRUE(input->borrowed);
    // A SIGBUS that is not a fault on a guarded mapping (here one raised by
    // hand, inside a guarded call) goes on to the default action.
    EXPECT_EXIT(ky::runGuarded([] { ::raise(SIGBUS); }), endedByTheFault, "");
    // A fault on a guarded mapping outside any call is not caught either.
    fileToTruncate = path;
    EXPECT_EXIT(
        {
            if (::truncate(fileToTruncate.c_str(), 0) != 0) std::abort();
            volatile double first = *static_cast<const double*>(input->data);
            (void)first;
        },
        endedByTheFault, "");
}

}  // namespace
