#include "interpolation_calls.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <utility>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>
#include <CGAL/natural_neighbor_coordinates_2.h>

#include "call_state.hpp"

namespace trinterp::testing {

namespace {

template <typename Kernel>
using IndexedDelaunay = CGAL::Delaunay_triangulation_2<
    Kernel, CGAL::Triangulation_data_structure_2<CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>>>;

template <typename Kernel>
IndexedDelaunay<Kernel> indexedDelaunay(const std::vector<double>& x, const std::vector<double>& y)
{
    std::vector<std::pair<typename Kernel::Point_2, int>> points;
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(typename Kernel::Point_2(x[i], y[i]), static_cast<int>(i));
    return IndexedDelaunay<Kernel>(points.begin(), points.end());
}

std::vector<ky::ArrayHandle> arrays(const Call& call)
{
    std::vector<ky::ArrayHandle> made;
    made.push_back(ky::testing::row(call.x));
    made.push_back(ky::testing::row(call.y));
    made.push_back(ky::testing::matrix(call.zRows, call.zColumns, call.z));
    made.push_back(ky::testing::matrix(static_cast<std::int32_t>(call.tri.size()) / call.triColumns, call.triColumns, call.tri));
    const auto shaped = [&](const std::vector<double>& q) {
        const auto rows = q.empty() ? call.queryRows : std::max(call.queryRows, 1);
        return ky::testing::matrix(rows, static_cast<std::int32_t>(q.size()) / std::max(rows, 1), q);
    };
    made.push_back(shaped(call.xi));
    made.push_back(shaped(call.yi));
    if (!call.method.empty()) made.push_back(ky::testing::text(call.method));
    return made;
}

ky::CallOutcome run(kyxFunctionType entry, const Call& call)
{
    const std::vector<ky::ArrayHandle> made = arrays(call);
    std::vector<const kyArray*> inputs;
    for (const auto& array : made) inputs.push_back(array.get());
    return ky::testing::call(entry, 1, inputs);
}

}  // namespace

Call& Call::values(const std::vector<double>& v)
{
    z = v;
    zRows = 1;
    zColumns = static_cast<std::int32_t>(v.size());
    return *this;
}

Call& Call::valueColumns(std::int32_t k, const std::vector<double>& columnMajor)
{
    z = columnMajor;
    zRows = static_cast<std::int32_t>(x.size());
    zColumns = k;
    return *this;
}

Call& Call::queries(const std::vector<double>& qx, const std::vector<double>& qy)
{
    xi = qx;
    yi = qy;
    queryRows = 1;
    return *this;
}

ky::CallOutcome runPlugin(const Call& call)
{
    static const kyxFunctionType entry = ky::testing::builtPlugin("trinterp");
    return run(entry, call);
}

ky::CallOutcome runCore(const Call& call) { return run(&trinterp::interpolate, call); }

ky::CallOutcome runKeeping(trinterp::KeptMesh& kept, const Call& call)
{
    const trinterp::KeptMeshInUse inUse(kept);
    return run(&trinterp::interpolateAndKeep, call);
}

ky::CallOutcome runKept(trinterp::KeptMesh& kept, const Call& call)
{
    const std::vector<ky::ArrayHandle> made = arrays(call);
    const std::vector<const kyArray*> inputs{made[4].get(), made[5].get()};
    const trinterp::KeptMeshInUse inUse(kept);
    return ky::testing::call(&trinterp::interpolateKept, 1, inputs);
}

std::vector<double> results(const ky::CallOutcome& outcome)
{
    EXPECT_FALSE(outcome.error) << *outcome.error;
    if (outcome.error || !outcome.result) return {};
    return ky::testing::values(outcome.result.get());
}

std::string errorOf(const ky::CallOutcome& outcome)
{
    EXPECT_TRUE(outcome.error) << "the call succeeded";
    return outcome.error.value_or("");
}

std::vector<double> delaunayRows(const std::vector<double>& x, const std::vector<double>& y)
{
    using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
    const auto triangulation = indexedDelaunay<Kernel>(x, y);
    std::vector<std::array<int, 3>> rows;
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face)
        rows.push_back({face->vertex(0)->info() + 1, face->vertex(1)->info() + 1, face->vertex(2)->info() + 1});
    std::vector<double> tri(3 * rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < 3; ++c) tri[c * rows.size() + r] = rows[r][c];
    return tri;
}

std::vector<double> scrambledRows(const std::vector<double>& tri)
{
    const std::size_t m = tri.size() / 3;
    std::vector<double> out(tri.size());
    for (std::size_t r = 0; r < m; ++r) {
        const std::size_t to = m - 1 - r;
        const bool flip = r % 2 == 1;
        out[to] = tri[r];
        out[m + to] = tri[(flip ? 2 : 1) * m + r];
        out[2 * m + to] = tri[(flip ? 1 : 2) * m + r];
    }
    return out;
}

std::vector<std::vector<double>> exactNaturalCoordinates(const Points& points, const std::vector<double>& qx,
                                                         const std::vector<double>& qy)
{
    using Kernel = CGAL::Exact_predicates_exact_constructions_kernel;
    using Delaunay = IndexedDelaunay<Kernel>;
    const Delaunay triangulation = indexedDelaunay<Kernel>(points.x, points.y);
    struct ToIndex {
        using argument_type = std::pair<Delaunay::Vertex_handle, Kernel::FT>;
        using result_type = std::pair<int, Kernel::FT>;
        result_type operator()(const argument_type& entry) const { return {entry.first->info(), entry.second}; }
    };
    std::vector<std::vector<double>> all;
    for (std::size_t q = 0; q < qx.size(); ++q) {
        std::vector<std::pair<int, Kernel::FT>> coordinates;
        const auto found = CGAL::natural_neighbor_coordinates_2(triangulation, Kernel::Point_2(qx[q], qy[q]),
                                                                std::back_inserter(coordinates), ToIndex());
        std::vector<double> dense;
        if (found.third) {
            dense.assign(points.x.size(), 0.0);
            for (const auto& [point, coordinate] : coordinates)
                dense[static_cast<std::size_t>(point)] = CGAL::to_double(CGAL::exact(coordinate / found.second));
        }
        all.push_back(std::move(dense));
    }
    return all;
}

Points randomPoints(std::size_t n, std::uint64_t seed, double low, double high)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(low, high);
    Points points;
    for (std::size_t i = 0; i < n; ++i) {
        points.x.push_back(uniform(random));
        points.y.push_back(uniform(random));
    }
    return points;
}

Points grid(int columns, int rows, double angleDegrees)
{
    const double angle = angleDegrees * 3.14159265358979323846 / 180;
    Points points;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            points.x.push_back(angleDegrees == 0 ? i : i * std::cos(angle) - j * std::sin(angle));
            points.y.push_back(angleDegrees == 0 ? j : i * std::sin(angle) + j * std::cos(angle));
        }
    return points;
}

}  // namespace trinterp::testing
