/* A whole session through the embedding interface, in C: the header is
 * usable from C and a C front end needs nothing else. Returns 0 when every
 * step behaved, otherwise the number of the step that did not. */
#include <string.h>

#include "kyhost_embed.h"

int embedSessionFromC(const char* probePath)
{
    kyhostFunction* probe = kyhostLoad(probePath);
    if (probe == NULL) return 1;
    static const char action[] = "echo";
    const double values[6] = {1, 2, 3, 4, 5, 6};
    kyArray* name = kyhostCopyText(action, strlen(action));
    kyArray* matrix = kyhostBorrowDouble(2, 3, values);
    if (name == NULL || matrix == NULL) return 2;
    const kyArray* inputs[2] = {name, matrix};
    kyhostCall* call = kyhostRun(probe, 1, 2, inputs, NULL, NULL);
    if (call == NULL || kyhostCallError(call) != NULL) return 3;
    kyArray* result = kyhostCallTakeResult(call, 0);
    kyhostCallFree(call);
    if (result == NULL || kyhostArrayClass(result) != KYHOST_DOUBLE) return 4;
    if (kyhostArrayRows(result) != 2 || kyhostArrayColumns(result) != 3) return 5;
    /* An input handed back is a copy, not the caller's memory. */
    if (kyhostArrayData(result) == (const void*)values) return 6;
    if (memcmp(kyhostArrayData(result), values, sizeof values) != 0) return 7;
    kyhostFreeArray(result);
    kyhostFreeArray(matrix);
    kyhostFreeArray(name);
    return 0;
}
