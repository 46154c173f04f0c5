/* Array library of the host (libky): the arrays that cross the boundary
 * between the host and a plug-in, and the call's working memory.
 *
 * Arrays are M-by-N, stored column by column: element (i, j) of a full
 * matrix lies at index i + j*M of its element storage. Counts are 32-bit
 * signed integers. Everything declared here is usable from C and C++. */
#ifndef KY_H
#define KY_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "ky_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handle to a host array: a real double matrix, a character array
 * (one byte per element), an unsigned 8-bit array or a real sparse matrix. */
typedef struct kyArray kyArray;

/* Third argument of kyCreateDoubleMatrix: only real matrices exist. */
enum { kyREAL = 0 };

KY_API int32_t kyGetM(const kyArray *array);
KY_API int32_t kyGetN(const kyArray *array);
/* M times N. The host creates no full array of more than INT32_MAX
 * elements; for a sparse matrix whose M times N is larger, the count is
 * clamped to INT32_MAX. */
KY_API int32_t kyGetNumberOfElements(const kyArray *array);

/* First element: doubles of a real or sparse matrix, or the bytes of a
 * character or unsigned 8-bit array (read them through unsigned char *). */
KY_API double *kyGetPr(const kyArray *array);

/* Sparse storage: kyGetJc gives N+1 column starts, kyGetIr one 0-based row
 * index per stored entry; column j's entries lie at jc[j] to jc[j+1]-1.
 * Both return NULL for an array that is not sparse. */
KY_API int32_t *kyGetIr(const kyArray *array);
KY_API int32_t *kyGetJc(const kyArray *array);

KY_API bool kyIsChar(const kyArray *array);
KY_API bool kyIsUint8(const kyArray *array);
KY_API bool kyIsSparse(const kyArray *array);

/* Copies at most size-1 characters of a character array, in storage
 * order, and a terminating zero into buffer. Returns 0 when the whole text
 * was copied, nonzero when the array is not text, the text is too long
 * (the copy is then cut at size-1 characters, still terminated) or the
 * text holds a NUL byte (so that the terminated copy would read as a
 * shorter text). */
KY_API int kyGetString(const kyArray *array, char *buffer, int32_t size);

/* New real m-by-n matrix of zeros (m may be 0). The call ends with a host
 * error when the size is negative or too large. */
KY_API kyArray *kyCreateDoubleMatrix(int32_t m, int32_t n, int complexity);

/* Sets the row count in place; the storage is kept and its first m*N
 * elements form the matrix. m must not exceed the rows the storage holds. */
KY_API void kySetM(kyArray *array, int32_t m);

/* Frees an array that the running call created or received from a host
 * function. Anything else ends the call with a host error. */
KY_API void kyDestroyArray(kyArray *array);

/* count*size zeroed bytes owned by the running call: the host frees them
 * when the call ends, also when it ends in an error. */
KY_API void *kyCalloc(size_t count, size_t size);

/* Frees kyCalloc memory early. NULL is ignored; a pointer that the call
 * did not take with kyCalloc ends the call with a host error. */
KY_API void kyFree(void *pointer);

#ifdef __cplusplus
}
#endif

#endif /* KY_H */
