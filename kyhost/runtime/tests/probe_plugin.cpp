// A plug-in for the host's own tests: its first input, a text, names what
// it does, so that one library exercises every path through the host.
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "kyx.h"

extern "C" KYX_EXPORT void kyxFunction(int outputCount, kyArray* outputs[], int inputCount, const kyArray* inputs[])
{
    char action[64] = "";
    if (inputCount < 1 || kyGetString(inputs[0], action, sizeof action) != 0) kyxErrMsgTxt("probe: no action");
    const std::string what = action;
    if (what == "sleep") {  // waits for the seconds of its second input, then returns them
        const double seconds = inputCount > 1 ? kyGetPr(inputs[1])[0] : 0;
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
        kyGetPr(outputs[0])[0] = seconds;
    } else if (what == "echo") {  // hands back its second input
        outputs[0] = const_cast<kyArray*>(inputs[1]);
    } else if (what == "fail-after-allocating") {
        kyCalloc(1000, 1);
        kyCreateDoubleMatrix(10, 10, kyREAL);
        outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
        kyxErrMsgTxt("probe: failed on purpose");
    } else if (what == "warn-twice") {
        kyxWarnMsgTxt("first");
        kyxWarnMsgTxt("second");
        outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
        kyGetPr(outputs[0])[0] = 42;
    } else if (what == "sum" || what == "warn-then-sum") {  // the sum of its second input's doubles
        if (what == "warn-then-sum") kyxWarnMsgTxt("probe warns");
        const double* values = kyGetPr(inputs[1]);
        double sum = 0;
        for (int32_t k = 0; k < kyGetNumberOfElements(inputs[1]); ++k) sum += values[k];
        outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
        kyGetPr(outputs[0])[0] = sum;
    } else if (what == "destroy-input") {
        kyDestroyArray(const_cast<kyArray*>(inputs[1]));
    } else if (what == "free-foreign") {
        static char notFromTheHost[8];
        kyFree(notFromTheHost);
    } else if (what == "free-twice") {
        void* block = kyCalloc(16, 1);
        kyFree(block);
        kyFree(block);
    } else if (what == "destroy-twice") {
        kyArray* array = kyCreateDoubleMatrix(2, 2, kyREAL);
        kyDestroyArray(array);
        kyDestroyArray(array);
    } else if (what == "return-destroyed") {
        outputs[0] = kyCreateDoubleMatrix(2, 2, kyREAL);
        kyDestroyArray(outputs[0]);
    } else if (what == "throw-std") {
        throw std::runtime_error("plain C++ exception");
    } else if (what == "call-unknown") {
        kyArray* out[1] = {nullptr};
        kyxCallKarvel(1, out, 0, nullptr, "nosuchfunction");
    } else if (what == "sparse-identity") {  // 3-by-3 identity through "sparse"
        kyArray* in[5];
        in[0] = kyCreateDoubleMatrix(1, 3, kyREAL);
        in[1] = kyCreateDoubleMatrix(1, 3, kyREAL);
        for (int k = 0; k < 3; ++k) kyGetPr(in[0])[k] = kyGetPr(in[1])[k] = k + 1;
        for (int k = 2; k < 5; ++k) in[k] = kyCreateDoubleMatrix(1, 1, kyREAL);
        kyGetPr(in[2])[0] = 1;
        kyGetPr(in[3])[0] = 3;
        kyGetPr(in[4])[0] = 3;
        kyArray* out[1] = {nullptr};
        kyxCallKarvel(1, out, 5, in, "sparse");
        for (kyArray* array : in) kyDestroyArray(array);
        outputs[0] = out[0];
    } else if (what == "set-rows") {  // 4-by-2, then kySetM to the second input's value
        outputs[0] = kyCreateDoubleMatrix(4, 2, kyREAL);
        kySetM(outputs[0], static_cast<int32_t>(kyGetPr(inputs[1])[0]));
    } else if (what == "same-array-twice") {  // one 1-by-1 array in slots 0 and 1
        outputs[0] = kyCreateDoubleMatrix(1, 1, kyREAL);
        kyGetPr(outputs[0])[0] = 7;
        if (outputCount > 1) outputs[1] = outputs[0];
    } else {
        kyxErrMsgTxt(("probe: unknown action " + what).c_str());
    }
}
