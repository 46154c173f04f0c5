// The whole-process peer of `kyhost sweeptri`: reads X and Y from two .npy
// files (float64 vectors), triangulates them with CGAL's
// Delaunay_triangulation_2 (exact predicates, inexact constructions, range
// insert) and writes the triangles as an M-by-3 float64 .npy matrix of
// 1-based point positions.
//
// Usage: sweeptri_cgal_peer X.npy Y.npy OUT.npy
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, CGAL::Triangulation_data_structure_2<VertexBase>>;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "sweeptri_cgal_peer: %s\n", message.c_str());
    std::exit(1);
}

// The elements of a little-endian float64 .npy file of any shape.
std::vector<double> readNpy(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) fail(std::string(path) + ": " + std::strerror(errno));
    unsigned char magic[10];
    if (std::fread(magic, 1, 10, file) != 10 || std::memcmp(magic, "\x93NUMPY", 6) != 0)
        fail(std::string(path) + ": not a .npy file");
    std::size_t headerLength = magic[8] | (magic[9] << 8);
    if (magic[6] >= 2) {
        unsigned char more[2];
        if (std::fread(more, 1, 2, file) != 2) fail(std::string(path) + ": truncated header");
        headerLength |= (static_cast<std::size_t>(more[0]) << 16) | (static_cast<std::size_t>(more[1]) << 24);
    }
    std::string header(headerLength, '\0');
    if (std::fread(header.data(), 1, headerLength, file) != headerLength) fail(std::string(path) + ": truncated header");
    if (header.find("'<f8'") == std::string::npos) fail(std::string(path) + ": not float64");
    const std::size_t shape = header.find("'shape':");
    if (shape == std::string::npos) fail(std::string(path) + ": no shape");
    std::size_t count = 1;
    const char* p = header.c_str() + header.find('(', shape) + 1;
    while (*p != ')' && *p != '\0') {
        char* end = nullptr;
        const unsigned long long dimension = std::strtoull(p, &end, 10);
        if (end == p) break;
        count *= dimension;
        p = end;
        while (*p == ',' || *p == ' ') ++p;
    }
    std::vector<double> values(count);
    if (std::fread(values.data(), sizeof(double), count, file) != count) fail(std::string(path) + ": truncated data");
    std::fclose(file);
    return values;
}

void writeNpy(const char* path, const std::vector<double>& rows, std::size_t m)
{
    std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': (" + std::to_string(m) + ", 3), }";
    header.append(64 - (10 + header.size() + 1) % 64, ' ');
    header.push_back('\n');
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) fail(std::string(path) + ": " + std::strerror(errno));
    const unsigned char magic[10] = {0x93, 'N', 'U', 'M', 'P', 'Y', 1, 0,
                                     static_cast<unsigned char>(header.size() & 0xff),
                                     static_cast<unsigned char>(header.size() >> 8)};
    const bool written = std::fwrite(magic, 1, 10, file) == 10 &&
                         std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                         std::fwrite(rows.data(), sizeof(double), rows.size(), file) == rows.size();
    if (std::fclose(file) != 0 || !written) fail(std::string(path) + ": write failed");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) fail("usage: sweeptri_cgal_peer X.npy Y.npy OUT.npy");
    const std::vector<double> x = readNpy(argv[1]);
    const std::vector<double> y = readNpy(argv[2]);
    if (x.size() != y.size()) fail("X and Y differ in size");
    std::vector<std::pair<Kernel::Point_2, int>> points;
    points.reserve(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(Kernel::Point_2(x[i], y[i]), static_cast<int>(i));
    Delaunay triangulation;
    triangulation.insert(points.begin(), points.end());
    std::vector<double> rows;
    rows.reserve(3 * static_cast<std::size_t>(triangulation.number_of_faces()));
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end(); ++face)
        for (int k = 0; k < 3; ++k) rows.push_back(face->vertex(k)->info() + 1.0);
    writeNpy(argv[3], rows, rows.size() / 3);
    return 0;
}
