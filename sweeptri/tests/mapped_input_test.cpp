// Coordinates from a mapped file that is truncated after the sweep, when a
// repair or the recomputation reads them again: the call ends with the
// host's error naming the file, and the fault's jump out of the call leaves
// nothing behind (the leak checker of the sanitizer builds would see it).
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "call_runner.hpp"
#include "certified_sweep.hpp"
#include "mapped_input_guard.hpp"
#include "npy_mapping.hpp"
#include "triangulate_call.hpp"

namespace sweeptri {
namespace {

namespace fs = std::filesystem;

std::string fileToTruncate;

void truncateTheFile()
{
    if (::truncate(fileToTruncate.c_str(), 0) != 0) std::abort();
}

void coreEntry(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    triangulateCall(outputCount, outputs, inputCount, inputs);
}

void writeNpy(const fs::path& path, const std::vector<double>& values)
{
    std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': (" + std::to_string(values.size()) + ",), }";
    header.append((64 - (10 + header.size() + 1) % 64) % 64, ' ');
    header.push_back('\n');
    std::ofstream file(path, std::ios::binary);
    file.write("\x93NUMPY\x01\x00", 8);
    file.put(static_cast<char>(header.size() & 0xff));
    file.put(static_cast<char>(header.size() >> 8));
    file << header;
    file.write(reinterpret_cast<const char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(double)));
}

struct Case {
    const char* name;
    CertifiedPath path;  // the path that reads the coordinates again
    std::vector<double> x, y;
};

std::vector<Case> cases()
{
    std::vector<Case> all;
    std::mt19937_64 random(7);
    std::lognormal_distribution<double> lognormal(0.0, 5.0);
    Case abandoned{"lognormal points, recomputed", CertifiedPath::Recomputed, {}, {}};
    for (int i = 0; i < 20000; ++i) {
        abandoned.x.push_back(lognormal(random));
        abandoned.y.push_back(lognormal(random));
    }
    all.push_back(abandoned);
    Case tilted{"tilted grid, completed", CertifiedPath::Completed, {}, {}};
    const double c = std::cos(std::numbers::pi / 6), s = std::sin(std::numbers::pi / 6);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            tilted.x.push_back(c * i - s * j);
            tilted.y.push_back(s * i + c * j);
        }
    all.push_back(tilted);
    Case rings{"rings, flipped", CertifiedPath::Flipped, {}, {}};
    for (int r = 1; r <= 50; ++r)
        for (int k = 0; k < 400; ++k) {
            rings.x.push_back(r * std::cos(2 * std::numbers::pi * k / 400));
            rings.y.push_back(r * std::sin(2 * std::numbers::pi * k / 400));
        }
    all.push_back(rings);
    return all;
}

TEST(SweeptriMappedInput, AFileTruncatedBeforeTheCoordinatesAreReadAgainEndsTheCallCleanly)
{
    const fs::path dir = fs::temp_directory_path() / ("sweeptri-mapped-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        // Which path each set takes, without a truncation.
        {
            const fs::path xPath = dir / "x.npy", yPath = dir / "y.npy";
            writeNpy(xPath, c.x);
            writeNpy(yPath, c.y);
            ky::ArrayHandle x = ky::readNpyInPlace(xPath.string()), y = ky::readNpyInPlace(yPath.string());
            const kyArray* inputs[] = {x.get(), y.get()};
            const ky::CallOutcome outcome = ky::runCall(coreEntry, 1, inputs);
            ASSERT_FALSE(outcome.error);
            EXPECT_EQ(lastCertifiedPath, c.path);
        }
        const fs::path xPath = dir / "x2.npy", yPath = dir / "y2.npy";
        writeNpy(xPath, c.x);
        writeNpy(yPath, c.y);
        ky::ArrayHandle x = ky::readNpyInPlace(xPath.string()), y = ky::readNpyInPlace(yPath.string());
        ASSERT_TRUE(x->borrowed) << "the test needs a mapped input";
        fileToTruncate = xPath.string();
        beforeCoordinatesAreReadAgain = truncateTheFile;
        const kyArray* inputs[] = {x.get(), y.get()};
        try {
            ky::runCall(coreEntry, 1, inputs);
            ADD_FAILURE() << "the call read a truncated file without an error";
        } catch (const ky::InputChanged& error) {
            EXPECT_EQ(error.what(), "input file '" + xPath.string() + "' changed while it was read");
        }
        beforeCoordinatesAreReadAgain = nullptr;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace sweeptri
