#include "plugin_testing.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <stdexcept>

#include "plugin_loader.hpp"

namespace ky::testing {

kyxFunctionType builtPlugin(const std::string& name)
{
    return loadPlugin(std::string(KY_TEST_PLUGIN_DIR) + "/" + name + pluginSuffix);
}

ArrayHandle matrix(std::int32_t m, std::int32_t n, const std::vector<double>& columnMajor)
{
    ArrayHandle array(createDouble(m, n));
    std::copy(columnMajor.begin(), columnMajor.end(), static_cast<double*>(array->data));
    return array;
}

ArrayHandle row(const std::vector<double>& values)
{
    return matrix(1, static_cast<std::int32_t>(values.size()), values);
}

ArrayHandle text(const std::string& value) { return ArrayHandle(createChar(value)); }

ArrayHandle bytes(std::int32_t m, std::int32_t n, const std::vector<unsigned char>& columnMajor)
{
    ArrayHandle array(createUint8(m, n));
    std::copy(columnMajor.begin(), columnMajor.end(), static_cast<unsigned char*>(array->data));
    return array;
}

UnbackedMatrix::UnbackedMatrix(std::int32_t m, std::int32_t n)
    : bytes_(static_cast<std::size_t>(m) * static_cast<std::size_t>(n) * sizeof(double))
{
    // No access and no reservation of swap: the range costs address space
    // only.
    reserved_ = mmap(nullptr, bytes_ == 0 ? 1 : bytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved_ == MAP_FAILED) throw std::runtime_error("cannot reserve address space for an unbacked matrix");
    array_.reset(createBorrowed(ArrayClass::Double, m, n, reserved_));
}

UnbackedMatrix::~UnbackedMatrix()
{
    array_.reset();
    munmap(reserved_, bytes_ == 0 ? 1 : bytes_);
}

CallOutcome call(kyxFunctionType entry, int outputCount, std::initializer_list<const kyArray*> inputs)
{
    return runCall(entry, outputCount, std::vector<const kyArray*>(inputs));
}

CallOutcome call(kyxFunctionType entry, int outputCount, const std::vector<const kyArray*>& inputs)
{
    return runCall(entry, outputCount, inputs);
}

std::vector<double> values(const kyArray* array)
{
    const auto* data = static_cast<const double*>(array->data);
    return std::vector<double>(data, data + elementCount(array));
}

}  // namespace ky::testing
