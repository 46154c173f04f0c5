#include "plugin_testing.hpp"

#include <algorithm>

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
