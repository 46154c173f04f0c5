// Helpers for tests that call plug-ins through the real loader and host.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "call_runner.hpp"
#include "host_array.hpp"

namespace ky::testing {

// The built plug-in of that name (from the build's plug-in directory).
kyxFunctionType builtPlugin(const std::string& name);

// Host-owned input arrays.
ArrayHandle matrix(std::int32_t m, std::int32_t n, const std::vector<double>& columnMajor);
ArrayHandle row(const std::vector<double>& values);
ArrayHandle text(const std::string& value);
ArrayHandle bytes(std::int32_t m, std::int32_t n, const std::vector<unsigned char>& columnMajor);

// A real m-by-n matrix over address space that is reserved but holds no
// memory: reading an element faults. For calls that must refuse a size
// before they read any element (so that the largest sizes can be tried
// without the memory they would need).
class UnbackedMatrix {
public:
    UnbackedMatrix(std::int32_t m, std::int32_t n);
    ~UnbackedMatrix();
    UnbackedMatrix(const UnbackedMatrix&) = delete;
    UnbackedMatrix& operator=(const UnbackedMatrix&) = delete;
    const kyArray* get() const { return array_.get(); }

private:
    void* reserved_ = nullptr;
    std::size_t bytes_ = 0;
    ArrayHandle array_;
};

// Runs a call with the given inputs (handles stay the caller's).
CallOutcome call(kyxFunctionType entry, int outputCount, std::initializer_list<const kyArray*> inputs);
CallOutcome call(kyxFunctionType entry, int outputCount, const std::vector<const kyArray*>& inputs);

// The doubles of a real matrix result, column-major.
std::vector<double> values(const kyArray* array);

}  // namespace ky::testing
