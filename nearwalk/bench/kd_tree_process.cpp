// The whole-process peer of `kyhost nearwalk`: reads the data points and
// the query points from .npy files, builds nanoflann's KD-tree, finds a
// nearest data point for every query and writes the 1-based indices as a
// float64 .npy of the queries' shape, as kyhost does.
//
// Usage: nearwalk_kd_tree_process X.npy Y.npy XI.npy YI.npy OUT.npy
// (X and Y any shape; XI and YI 1-D or 2-D; float64, little-endian, C or
// Fortran order).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kd_tree_peer.hpp"

namespace {

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "nearwalk_kd_tree_process: %s\n", what.c_str());
    std::exit(1);
}

struct Matrix {
    std::size_t rows = 1, cols = 1;
    bool fortranOrder = false;
    std::vector<double> values;  // in the file's order
};

std::string headerValue(const std::string& header, const std::string& key)
{
    const std::size_t at = header.find("'" + key + "'");
    if (at == std::string::npos) fail("no '" + key + "' in a .npy header");
    std::size_t start = header.find(':', at) + 1;
    while (header[start] == ' ') ++start;
    return header.substr(start);
}

Matrix readNpy(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) fail("cannot open " + path);
    unsigned char start[12];
    if (std::fread(start, 1, 10, file) != 10 || std::memcmp(start, "\x93NUMPY", 6) != 0) fail(path + " is not .npy");
    std::size_t headerLength = start[8] | (std::size_t(start[9]) << 8);
    if (start[6] >= 2) {
        if (std::fread(start + 10, 1, 2, file) != 2) fail(path + " is truncated");
        headerLength |= (std::size_t(start[10]) << 16) | (std::size_t(start[11]) << 24);
    }
    std::string header(headerLength, '\0');
    if (std::fread(header.data(), 1, headerLength, file) != headerLength) fail(path + " is truncated");
    if (headerValue(header, "descr").rfind("'<f8'", 0) != 0) fail(path + " does not hold little-endian float64");
    Matrix matrix;
    matrix.fortranOrder = headerValue(header, "fortran_order").rfind("True", 0) == 0;
    const std::string shape = headerValue(header, "shape");
    std::vector<std::size_t> sizes;
    for (std::size_t at = 1; at < shape.size() && shape[at] != ')';) {
        char* end = nullptr;
        sizes.push_back(std::strtoull(shape.c_str() + at, &end, 10));
        at = static_cast<std::size_t>(end - shape.c_str());
        while (at < shape.size() && (shape[at] == ',' || shape[at] == ' ')) ++at;
    }
    if (sizes.size() == 1) matrix.cols = sizes[0];
    if (sizes.size() == 2) matrix.rows = sizes[0], matrix.cols = sizes[1];
    if (sizes.size() > 2) fail(path + " has more than 2 dimensions");
    matrix.values.resize(matrix.rows * matrix.cols);
    if (std::fread(matrix.values.data(), sizeof(double), matrix.values.size(), file) != matrix.values.size())
        fail(path + " is truncated");
    std::fclose(file);
    return matrix;
}

// Element (i, j) of the matrix for column-major position i + j * rows.
std::vector<double> columnMajor(Matrix matrix)
{
    if (matrix.fortranOrder || matrix.rows == 1 || matrix.cols == 1) return std::move(matrix.values);
    std::vector<double> values(matrix.values.size());
    for (std::size_t i = 0; i < matrix.rows; ++i)
        for (std::size_t j = 0; j < matrix.cols; ++j) values[i + j * matrix.rows] = matrix.values[i * matrix.cols + j];
    return values;
}

void writeNpy(const std::string& path, std::size_t rows, std::size_t cols, const std::vector<double>& values)
{
    std::string header = "{'descr': '<f8', 'fortran_order': True, 'shape': (" + std::to_string(rows) + ", " +
                         std::to_string(cols) + "), }";
    header.append((64 - (10 + header.size() + 1) % 64) % 64, ' ');
    header.push_back('\n');
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) fail("cannot write " + path);
    const unsigned char start[10] = {0x93, 'N', 'U', 'M', 'P', 'Y', 1, 0, static_cast<unsigned char>(header.size() & 0xff),
                                     static_cast<unsigned char>(header.size() >> 8)};
    const bool written = std::fwrite(start, 1, 10, file) == 10 &&
                         std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                         std::fwrite(values.data(), sizeof(double), values.size(), file) == values.size();
    if (std::fclose(file) != 0 || !written) fail("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) fail("usage: nearwalk_kd_tree_process X.npy Y.npy XI.npy YI.npy OUT.npy");
    const std::vector<double> x = readNpy(argv[1]).values, y = readNpy(argv[2]).values;
    if (x.size() != y.size() || x.empty()) fail("X and Y must hold the same, non-zero number of points");
    Matrix xi = readNpy(argv[3]);
    const std::size_t rows = xi.rows, cols = xi.cols;
    const std::vector<double> qx = columnMajor(std::move(xi)), qy = columnMajor(readNpy(argv[4]));
    if (qx.size() != qy.size()) fail("XI and YI must be the same size");

    using namespace nearwalk::bench;
    const PlanarPoints points{x, y};
    const KdTree tree = buildKdTree(points);
    std::vector<std::uint32_t> found;
    answerQueries(tree, qx, qy, found);
    std::vector<double> answers(found.size());
    for (std::size_t q = 0; q < found.size(); ++q) answers[q] = static_cast<double>(found[q]) + 1.0;
    writeNpy(argv[5], rows, cols, answers);
    return 0;
}
