// draw --voronoi's cells: the cells of a Delaunay triangulation clipped to
// its hull, whichever way its rows run, and the command refusing rows that
// are not a Delaunay triangulation.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "run_process.hpp"
#include "voronoi_command.hpp"

namespace {

double ringArea(const ky::inspect::CellOutlines& cells, std::size_t ring)
{
    double twice = 0;
    const std::size_t first = cells.ringStart[ring], end = cells.ringStart[ring + 1];
    for (std::size_t k = first; k < end; ++k) {
        const std::size_t next = k + 1 < end ? k + 1 : first;
        twice += cells.x[k] * cells.y[next] - cells.x[next] * cells.y[k];
    }
    return twice / 2;
}

// The unit square's corners, cocircular: one Voronoi vertex in the middle,
// and each corner's cell in the hull a counter-clockwise quarter square.
TEST(VoronoiOutlines, TheSquaresCornersGetQuarterSquaresWhicheverWayTheRowsRun)
{
    const std::vector<double> x{0, 1, 1, 0}, y{0, 0, 1, 1};
    const std::vector<double> clockwise{1, 1, 4, 3, 3, 2};            // rows (1,4,3), (1,3,2), by column
    const std::vector<double> counterClockwise{1, 1, 3, 4, 2, 3};     // rows (1,3,4), (1,2,3)
    for (const auto* rows : {&clockwise, &counterClockwise}) {
        const ky::inspect::CellOutlines cells =
            ky::hullCellOutlines({x.data(), y.data(), 4}, {rows->data(), 2, 1});
        ASSERT_EQ(cells.cells, 4u);
        ASSERT_EQ(cells.ringStart.size(), 5u);
        for (std::size_t ring = 0; ring < 4; ++ring) {
            EXPECT_EQ(cells.ringStart[ring + 1] - cells.ringStart[ring], 4u);
            EXPECT_DOUBLE_EQ(ringArea(cells, ring), 0.25);
        }
    }
}

TEST(VoronoiOutlines, DrawRefusesRowsThatAreNotADelaunayTriangulation)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kyhost-voronoi-draw-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string x = "num:0,1,1,0,0.5", y = "num:0,0,1,1,0.4";
    std::ofstream(dir / "flipped.csv") << "1,2,5\n2,3,5\n3,4,5\n4,1,5\n";  // counter-clockwise: wrong way
    std::ofstream(dir / "good.csv") << "1,5,2\n2,5,3\n3,5,4\n4,5,1\n";
    const std::string out = (dir / "v.svg").string();
    ky::testing::ProcessResult r =
        ky::testing::runProcess({KY_KYHOST, "draw", x, y, "csv:" + (dir / "flipped.csv").string(), "--voronoi", "--out", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--voronoi needs a Delaunay triangulation"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    r = ky::testing::runProcess({KY_KYHOST, "draw", x, y, "csv:" + (dir / "good.csv").string(), "--voronoi", "--out", out});
    EXPECT_EQ(r.status, 0) << r.err;
    std::ifstream svg(out);
    const std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("</svg>"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
