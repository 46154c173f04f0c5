// The whole-process peer of `kyhost sweeptri` followed by `kyhost trinterp
// ... text:natural`: reads X, Y, Z, XI and YI from .npy files (float64,
// little-endian, any shape), interpolates with CGAL (cgal_natural_peer.hpp)
// and writes ZI, shaped as XI, as a float64 .npy file.
//
// Usage: trinterp_cgal_process X.npy Y.npy Z.npy XI.npy YI.npy OUT.npy
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cgal_natural_peer.hpp"

namespace {

[[noreturn]] void fail(const std::string& text)
{
    std::fprintf(stderr, "trinterp_cgal_process: %s\n", text.c_str());
    std::exit(2);
}

struct Npy {
    std::vector<double> values;
    std::string shape;  // as the header writes it, "(1000, 1000)"
    bool fortran = false;
};

Npy readNpy(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) fail(std::string(path) + ": cannot open");
    unsigned char magic[10];
    if (std::fread(magic, 1, 10, file) != 10 || std::memcmp(magic, "\x93NUMPY", 6) != 0)
        fail(std::string(path) + ": not a .npy file");
    std::size_t headerLength = magic[8] | (magic[9] << 8);
    if (magic[6] >= 2) {
        unsigned char more[2];
        if (std::fread(more, 1, 2, file) != 2) fail(std::string(path) + ": truncated header");
        headerLength |= (std::size_t(more[0]) << 16) | (std::size_t(more[1]) << 24);
    }
    std::string header(headerLength, '\0');
    if (std::fread(header.data(), 1, headerLength, file) != headerLength) fail(std::string(path) + ": truncated header");
    if (header.find("'<f8'") == std::string::npos) fail(std::string(path) + ": not little-endian float64");
    Npy npy;
    npy.fortran = header.find("'fortran_order': True") != std::string::npos;
    const std::size_t open = header.find('(', header.find("'shape'")), close = header.find(')', open);
    npy.shape = header.substr(open, close - open + 1);
    std::size_t count = 1;
    for (std::size_t at = open + 1; at < close;) {
        const std::size_t end = std::min(header.find(',', at), close);
        const std::string number = header.substr(at, end - at);
        if (number.find_first_of("0123456789") != std::string::npos) count *= std::stoull(number);
        at = end + 1;
    }
    npy.values.resize(count);
    if (std::fread(npy.values.data(), sizeof(double), count, file) != count) fail(std::string(path) + ": truncated data");
    std::fclose(file);
    return npy;
}

void writeNpy(const char* path, const std::vector<double>& values, const std::string& shape, bool fortran)
{
    std::string header = std::string("{'descr': '<f8', 'fortran_order': ") + (fortran ? "True" : "False") +
                         ", 'shape': " + shape + ", }";
    while ((10 + header.size() + 1) % 64 != 0) header += ' ';
    header += '\n';
    const unsigned char magic[10] = {0x93, 'N', 'U', 'M', 'P', 'Y', 1, 0, static_cast<unsigned char>(header.size() & 0xff),
                                     static_cast<unsigned char>(header.size() >> 8)};
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) fail(std::string(path) + ": cannot create");
    const bool written = std::fwrite(magic, 1, 10, file) == 10 &&
                         std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                         std::fwrite(values.data(), sizeof(double), values.size(), file) == values.size();
    if (std::fclose(file) != 0 || !written) fail(std::string(path) + ": write failed");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 7) fail("usage: trinterp_cgal_process X.npy Y.npy Z.npy XI.npy YI.npy OUT.npy");
    const Npy x = readNpy(argv[1]), y = readNpy(argv[2]), z = readNpy(argv[3]);
    const Npy xi = readNpy(argv[4]), yi = readNpy(argv[5]);
    if (y.values.size() != x.values.size() || z.values.size() != x.values.size() || yi.values.size() != xi.values.size())
        fail("sizes differ");
    // Element by element in storage order: XI and YI are stored alike.
    writeNpy(argv[6], trinterp::bench::cgalNaturalNeighbour(x.values, y.values, z.values, xi.values, yi.values),
             xi.shape, xi.fortran);
    return 0;
}
