// The picture of a broken triangulation next to its check: 2*10^6 random
// rows on 10^6 random points (long lines everywhere, nearly every row at
// fault), and for comparison 200,000 random rows on 1,000 points and 10^6
// points with no rows. Drawing the first must not take longer than checking
// it: the program prints the times and exits with status 1 when it did.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "triangulation_check.hpp"
#include "triangulation_picture.hpp"

namespace {

using namespace ky::inspect;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Runs the check and the PNG picture on n random points and the given
// number of random rows; true when the picture took no longer.
bool compare(const char* name, std::size_t n, std::size_t rows)
{
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> x(n), y(n), tri(3 * rows);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = unit(random);
        y[i] = unit(random);
    }
    for (double& corner : tri) corner = static_cast<double>(random() % n + 1);

    PictureRequest request;
    request.points = {x.data(), y.data(), n};
    request.tri = {tri.data(), rows};
    const auto checkStart = Clock::now();
    const CheckReport report = checkTriangulation(request.points, request.tri);
    const double check = secondsSince(checkStart);
    request.report = &report;
    request.format = PictureFormat::Png;
    const auto drawStart = Clock::now();
    const Picture picture = renderPicture(request);
    const double draw = secondsSince(drawStart);
    std::printf("%-34s check %7.2f s   draw %7.2f s   rows drawn %zu of %zu\n", name, check, draw, picture.drawnRows,
                rows);
    return draw <= check;
}

}  // namespace

int main()
{
    const bool within = compare("2e6 random rows on 1e6 points", 1000000, 2000000);
    // Shown, not bounded: the check of few points or no rows is quick, and
    // the picture's cost is then its fixed share (the length budget, the
    // points' dots).
    compare("200000 random rows on 1000 points", 1000, 200000);
    compare("1e6 points, no rows", 1000000, 0);
    if (!within) std::printf("a picture took longer than its check\n");
    return within ? 0 : 1;
}
