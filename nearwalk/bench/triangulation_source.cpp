#include "triangulation_source.hpp"

#include <filesystem>
#include <stdexcept>

#include "call_runner.hpp"
#include "plugin_loader.hpp"

#ifdef NEARWALK_BENCH_HAVE_CGAL
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <chrono>
#endif

namespace nearwalk::bench {

namespace {

#ifdef NEARWALK_BENCH_HAVE_CGAL
Triangulation triangulateWithCgal(const kyArray* x, const kyArray* y)
{
    using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
    using Delaunay = CGAL::Delaunay_triangulation_2<
        Kernel, CGAL::Triangulation_data_structure_2<CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>>>;
    const auto start = std::chrono::steady_clock::now();
    const auto* xs = static_cast<const double*>(x->data);
    const auto* ys = static_cast<const double*>(y->data);
    std::vector<std::pair<Kernel::Point_2, int>> points;
    for (std::int64_t k = 0; k < ky::elementCount(x); ++k) points.emplace_back(Kernel::Point_2(xs[k], ys[k]), int(k));
    const Delaunay delaunay(points.begin(), points.end());
    const auto m = static_cast<std::int32_t>(delaunay.number_of_faces());
    Triangulation result{ky::ArrayHandle(ky::createDouble(m, 3)), "CGAL (sweeptri is not built)", 0};
    auto* tri = static_cast<double*>(result.tri->data);
    std::int32_t r = 0;
    for (auto face = delaunay.finite_faces_begin(); face != delaunay.finite_faces_end(); ++face, ++r)
        for (int c = 0; c < 3; ++c) tri[r + std::int64_t(c) * m] = face->vertex(c)->info() + 1;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
#endif

}  // namespace

Triangulation triangulate(const kyArray* x, const kyArray* y)
{
    const std::filesystem::path library = std::filesystem::path(NEARWALK_BENCH_PLUGIN_DIR) /
                                          (std::string("sweeptri") + ky::pluginSuffix);
#ifdef NEARWALK_BENCH_HAVE_CGAL
    if (!std::filesystem::exists(library)) return triangulateWithCgal(x, y);
#endif
    const kyArray* inputs[] = {x, y};
    ky::CallOutcome outcome = ky::runCall(ky::loadPlugin(library), 1, inputs);
    if (outcome.error) throw std::runtime_error("sweeptri failed: " + *outcome.error);
    return {std::move(outcome.result), "sweeptri", outcome.seconds};
}

}  // namespace nearwalk::bench
