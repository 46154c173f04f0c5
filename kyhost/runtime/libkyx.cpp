// The plug-in services' C interface (kyx.h).
#include <cstdio>
#include <string>
#include <vector>

#include "call_context.hpp"
#include "host_functions.hpp"
#include "kyx.h"

extern "C" {

void kyxErrMsgTxt(const char* text) { ky::raiseError(text == nullptr ? "" : text); }

void kyxWarnMsgTxt(const char* text)
{
    const std::string message = text == nullptr ? "" : text;
    ky::CallContext* call = ky::currentCall();
    if (call == nullptr) {
        std::fprintf(stderr, "warning: %s\n", message.c_str());
        return;
    }
    call->warnings.push_back(message);
    if (call->onWarning) call->onWarning(message);
}

int kyxCallKarvel(int nout, kyArray* out[], int nin, kyArray* in[], const char* name)
{
    if (name == nullptr) ky::raiseError("kyxCallKarvel: the function name is null.");
    const ky::HostFunction function = ky::findHostFunction(name);
    if (function == nullptr) ky::raiseError(std::string("Undefined host function '") + name + "'.");
    if (nout < 0 || nin < 0) ky::raiseError("kyxCallKarvel: negative argument count.");
    if (nout > 0 && out == nullptr) ky::raiseError("kyxCallKarvel: the output array is null.");
    if (nin > 0 && in == nullptr) ky::raiseError("kyxCallKarvel: the input array is null.");
    for (int k = 0; k < nin; ++k)
        if (in[k] == nullptr)
            ky::raiseError("kyxCallKarvel: input " + std::to_string(k + 1) + " of '" + name + "' is null.");

    // The function always gets at least one slot; results it makes belong to
    // the running call, so whatever the caller does not take is reclaimed.
    std::vector<kyArray*> slots(nout > 0 ? static_cast<size_t>(nout) : 1, nullptr);
    std::vector<const kyArray*> inputs(in, in + nin);
    function(nout, slots.data(), nin, inputs.data());
    for (int k = 0; k < nout; ++k) out[k] = slots[static_cast<size_t>(k)];
    return 0;
}

}  // extern "C"
