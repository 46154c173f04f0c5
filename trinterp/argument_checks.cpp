#include "argument_checks.hpp"

#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>

#include "kyx.h"

namespace trinterp {

namespace {

void checkRealFull(const kyArray* array, const char* name)
{
    if (kyIsChar(array) || kyIsUint8(array) || kyIsSparse(array))
        kyxErrMsgTxt((std::string(name) + " must be a real full double matrix.").c_str());
}

const char* const methodError = "METHOD must be 'linear' or 'natural'.";

Method readMethod(const kyArray* text)
{
    if (!kyIsChar(text)) kyxErrMsgTxt(methodError);
    char buffer[16];
    // A text holding a NUL byte is no method name, whatever comes before it.
    if (kyGetString(text, buffer, sizeof buffer) != 0 || std::strlen(buffer) != std::size_t(kyGetNumberOfElements(text)))
        kyxErrMsgTxt(methodError);
    if (strcasecmp(buffer, "linear") == 0) return Method::linear;
    if (strcasecmp(buffer, "natural") == 0) return Method::natural;
    kyxErrMsgTxt(methodError);
}

bool allFinite(const double* values, std::int32_t count)
{
    for (std::int32_t k = 0; k < count; ++k)
        if (!std::isfinite(values[k])) return false;
    return true;
}

// Every corner a whole number from 1 to n.
bool cornersInRange(const double* tri, std::int64_t count, std::int32_t n)
{
    for (std::int64_t k = 0; k < count; ++k) {
        const double corner = tri[k];
        if (!(corner >= 1 && corner <= n) || corner != std::floor(corner)) return false;
    }
    return true;
}

}  // namespace

CheckedArguments checkArguments(int outputCount, int inputCount, const kyArray* inputs[])
{
    if (inputCount > 7) kyxErrMsgTxt("Too many input arguments.");
    if (inputCount < 6) kyxErrMsgTxt("Not enough input arguments.");
    if (outputCount > 1) kyxErrMsgTxt("Too many output arguments.");
    const kyArray* x = inputs[0];
    const kyArray* y = inputs[1];
    const kyArray* z = inputs[2];
    const kyArray* tri = inputs[3];
    const kyArray* xi = inputs[4];
    const kyArray* yi = inputs[5];

    CheckedArguments checked{Method::linear, kyGetNumberOfElements(x), 1, true};
    const std::int32_t n = checked.pointCount;
    if (kyGetNumberOfElements(y) != n) kyxErrMsgTxt("X and Y must be the same length.");
    if (kyGetM(z) == n) {
        checked.valueCount = kyGetN(z);
    } else if (kyGetM(z) == 1 && kyGetN(z) == n) {
        checked.valuesByRow = false;
    } else {
        kyxErrMsgTxt("Z must be n-by-k or 1-by-n, where n is the length of X and Y.");
    }
    if (kyGetN(tri) != 3) kyxErrMsgTxt("TRI must be M-by-3.");
    if (kyGetM(yi) != kyGetM(xi) || kyGetN(yi) != kyGetN(xi)) kyxErrMsgTxt("XI and YI must be the same size.");

    checkRealFull(x, "X");
    checkRealFull(y, "Y");
    checkRealFull(z, "Z");
    checkRealFull(tri, "TRI");
    checkRealFull(xi, "XI");
    checkRealFull(yi, "YI");
    if (inputCount == 7) checked.method = readMethod(inputs[6]);

    if (!allFinite(kyGetPr(x), n) || !allFinite(kyGetPr(y), n)) kyxErrMsgTxt("X and Y must contain only finite values.");
    if (!cornersInRange(kyGetPr(tri), std::int64_t{kyGetM(tri)} * 3, n))
        kyxErrMsgTxt("TRI must contain whole numbers from 1 to the length of X and Y.");
    const std::int64_t resultSize = std::int64_t{kyGetNumberOfElements(xi)} * checked.valueCount;
    if (checked.valueCount != 1 && resultSize > INT32_MAX) kyxErrMsgTxt("ZI would exceed the largest array size.");
    return checked;
}

void checkQueries(const kyArray* xi, const kyArray* yi, std::int32_t valueCount)
{
    if (kyGetM(yi) != kyGetM(xi) || kyGetN(yi) != kyGetN(xi)) kyxErrMsgTxt("XI and YI must be the same size.");
    checkRealFull(xi, "XI");
    checkRealFull(yi, "YI");
    const std::int64_t resultSize = std::int64_t{kyGetNumberOfElements(xi)} * valueCount;
    if (valueCount != 1 && resultSize > INT32_MAX) kyxErrMsgTxt("ZI would exceed the largest array size.");
}

}  // namespace trinterp
