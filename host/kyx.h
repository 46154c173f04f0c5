/* Plug-in services of the host (libkyx): messages, errors, calls of host
 * functions, and the entry point every plug-in exports. */
#ifndef KYX_H
#define KYX_H

#include "ky.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reports an error and ends the running call; it never returns.
 *
 * The host unwinds the plug-in's frames with a C++ exception, so plug-ins
 * must be compiled with exception support (-fexceptions also for C code,
 * which the plug-in build function sets) and must not swallow unknown
 * exceptions with catch (...) around host calls. */
KY_API KY_NORETURN void kyxErrMsgTxt(const char *text);

/* Reports a warning; the call goes on. */
KY_API void kyxWarnMsgTxt(const char *text);

/* Runs the named host function with nin inputs; its results land in
 * out[0] .. out[nout-1] and belong to the running call. A failure of the
 * function, or an unknown name, ends the call as kyxErrMsgTxt does.
 * Returns 0. */
KY_API int kyxCallKarvel(int nout, kyArray *out[], int nin, kyArray *in[], const char *name);

/* The entry point of a plug-in: outputCount outputs requested (may be 0),
 * at least one slot in outputs, inputCount input handles. On normal return
 * outputs[0] holds the result, which the host then owns. */
typedef void (*kyxFunctionType)(int outputCount, kyArray *outputs[], int inputCount,
                                const kyArray *inputs[]);

KYX_EXPORT void kyxFunction(int outputCount, kyArray *outputs[], int inputCount,
                            const kyArray *inputs[]);

#ifdef __cplusplus
}
#endif

#endif /* KYX_H */
