#include "argument_checks.hpp"

#include <string>

#include "kyx.h"

namespace nearwalk {

namespace {

void checkRealFull(const kyArray* array, const char* name)
{
    if (kyIsChar(array) || kyIsUint8(array) || kyIsSparse(array))
        kyxErrMsgTxt((std::string(name) + " must be a real full double matrix.").c_str());
}

}  // namespace

void checkArguments(int outputCount, int inputCount, const kyArray* inputs[])
{
    if (inputCount > 6) kyxErrMsgTxt("Too many input arguments.");
    if (inputCount < 5) kyxErrMsgTxt("Not enough input arguments.");
    if (outputCount > 1) kyxErrMsgTxt("Too many output arguments.");
    const kyArray* x = inputs[0];
    const kyArray* y = inputs[1];
    const kyArray* tri = inputs[2];
    const kyArray* xi = inputs[3];
    const kyArray* yi = inputs[4];
    if (kyGetNumberOfElements(y) != kyGetNumberOfElements(x)) kyxErrMsgTxt("X and Y must be the same length.");
    if (kyGetM(yi) != kyGetM(xi) || kyGetN(yi) != kyGetN(xi)) kyxErrMsgTxt("XI and YI must the same size.");
    if (kyGetN(tri) != 3) kyxErrMsgTxt("TRI must be M-by-3.");
    checkRealFull(x, "X");
    checkRealFull(y, "Y");
    checkRealFull(tri, "TRI");
    checkRealFull(xi, "XI");
    checkRealFull(yi, "YI");
}

void checkNeighbourMatrix(const kyArray* neighbours, std::int32_t pointCount)
{
    if (!kyIsSparse(neighbours)) kyxErrMsgTxt("Nearest neighbor matrix must be sparse.");
    if (kyGetN(neighbours) < pointCount)
        kyxErrMsgTxt("Nearest neighbor matrix must have a column for every data point.");
}

}  // namespace nearwalk
