/* Y = scaleby(X, F): every element of the real matrix X times the scalar F. */
#include "kyx.h"

KYX_EXPORT void kyxFunction(int outputCount, kyArray *outputs[], int inputCount, const kyArray *inputs[])
{
    if (inputCount != 2) kyxErrMsgTxt("scaleby: expected X and F.");
    if (outputCount > 1) kyxErrMsgTxt("scaleby: one output only.");
    if (kyGetNumberOfElements(inputs[1]) != 1) kyxErrMsgTxt("scaleby: F must be a scalar.");
    const double factor = kyGetPr(inputs[1])[0];
    outputs[0] = kyCreateDoubleMatrix(kyGetM(inputs[0]), kyGetN(inputs[0]), kyREAL);
    const double *x = kyGetPr(inputs[0]);
    double *y = kyGetPr(outputs[0]);
    for (int32_t k = 0; k < kyGetNumberOfElements(inputs[0]); ++k) y[k] = x[k] * factor;
}
