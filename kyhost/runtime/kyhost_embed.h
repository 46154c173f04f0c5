/* kyhost_embed.h: the host runtime as a library, for programs that call
 * plug-ins themselves (the kyhost command line, the Python module kyhost,
 * or another front end). Link against libkyhost_runtime (it brings libky
 * and libkyx).
 *
 * A session, in five steps:
 *
 *   kyhostFunction* f = kyhostFind("sweeptri");        // 1. the function
 *   kyArray* x = kyhostBorrowDouble(1, n, xs);          // 2. the inputs
 *   kyArray* y = kyhostBorrowDouble(1, n, ys);
 *   const kyArray* in[] = {x, y};
 *   kyhostCall* call = kyhostRun(f, 1, 2, in, NULL, NULL);  // 3. the call
 *   if (call == NULL) { ... kyhostLastError() ... }
 *   else if (kyhostCallError(call)) { ... the call's error text ... }
 *   else {
 *       const kyArray* tri = kyhostCallResult(call, 0);  // 4. the result
 *       ... kyhostArrayRows(tri), kyhostArrayData(tri) ...
 *   }
 *   kyhostCallFree(call);                                // 5. clean up
 *   kyhostFreeArray(x); kyhostFreeArray(y);
 *
 * Ownership and lifetimes
 *   - A kyhostFunction stays valid for the life of the process (plug-in
 *     libraries are never unloaded); it is not freed.
 *   - Every kyArray* returned by a kyhostBorrow... or kyhostCopy... function
 *     and by kyhostCallTakeResult belongs to the caller, who frees it with
 *     kyhostFreeArray. A borrowed array reads the caller's memory in place:
 *     that memory must stay alive and unchanged until the array is freed
 *     (plug-ins never modify their inputs). Freeing a borrowed array never
 *     frees the caller's memory.
 *   - Inputs stay the caller's: a call neither frees nor changes them, and a
 *     plug-in that hands an input back as its result gets a copy.
 *   - A kyhostCall owns its results, warnings and error text until
 *     kyhostCallFree. kyhostCallTakeResult moves one result out of it.
 *   - Everything else a call allocated (working memory, arrays the plug-in
 *     made and did not return) is freed before kyhostRun returns, also when
 *     the call ends in an error.
 *
 * Errors
 *   - No C++ exception ever leaves this interface. A function that fails
 *     returns NULL (or a negative count) and kyhostLastError() tells why.
 *   - A call that ran and ended in an error (kyxErrMsgTxt, a host error, or
 *     an exception inside the plug-in) is not a failure of kyhostRun: it
 *     returns a kyhostCall whose kyhostCallError is the error text, exactly
 *     as the plug-in wrote it. kyhostRun returns NULL only when the call
 *     could not be made at all (bad arguments, out of memory, another call
 *     running) or was cut off by the host because an input file that the
 *     host mapped (kyhost's .npy inputs) shrank while the call read it.
 *
 * Threads
 *   The host runs one call at a time in the whole process, on any thread.
 *   kyhostRun and the functions that make arrays, entered while a call runs
 *   (from another thread, or from a warning callback), fail at once with
 *   "A call is already running..." in kyhostLastError(); nothing waits, and
 *   the running call is not disturbed. kyhostFreeArray and kyhostCallFree
 *   wait until the running call has ended. Warnings are reported on the
 *   calling thread, inside kyhostRun.
 */
#ifndef KYHOST_EMBED_H
#define KYHOST_EMBED_H

#include <stddef.h>
#include <stdint.h>

#include "ky.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KYHOST_EMBED_API __attribute__((visibility("default")))
#else
#define KYHOST_EMBED_API
#endif

/* ---- Functions: plug-ins and host functions ---------------------------- */

typedef struct kyhostFunction kyhostFunction;

/* Finds a function by name the way kyhost does: NAME.so in the host's
 * plug-in directory (kyhostPluginDirectory), then in each directory of the
 * colon-separated KYHOST_PATH, then the host function of that name
 * ("sparse"). A name that holds a '/' or ends in ".so" is a path and is
 * loaded as kyhostLoad does. NULL when nothing matches or the library
 * cannot be loaded; kyhostLastError() names the directories searched or
 * the loader's reason. */
KYHOST_EMBED_API kyhostFunction* kyhostFind(const char* name);

/* Loads the plug-in library at path (it must export kyxFunction). */
KYHOST_EMBED_API kyhostFunction* kyhostLoad(const char* path);

/* The host function of that name ("sparse"), or NULL. */
KYHOST_EMBED_API kyhostFunction* kyhostHostFunction(const char* name);

/* The plug-in library's path, or "" for a host function. */
KYHOST_EMBED_API const char* kyhostFunctionLibrary(const kyhostFunction* function);

/* The host's own plug-in directory: kyhost/plugins inside the directory
 * that holds libkyhost_runtime (lib/kyhost/plugins in the build tree and
 * under the install prefix). Valid for the life of the process. */
KYHOST_EMBED_API const char* kyhostPluginDirectory(void);

/* ---- Input arrays -------------------------------------------------------- */

/* Array classes, as kyhostArrayClass reports them. */
enum {
    KYHOST_DOUBLE = 0, /* real double matrix */
    KYHOST_TEXT = 1,   /* character array, one byte per element */
    KYHOST_UINT8 = 2,  /* unsigned 8-bit array */
    KYHOST_SPARSE = 3  /* sparse real double matrix */
};

/* m-by-n arrays over the caller's memory, column-major (element (i, j) at
 * i + j*m), nothing copied. m, n >= 0 and m*n at most INT32_MAX. */
KYHOST_EMBED_API kyArray* kyhostBorrowDouble(int32_t m, int32_t n, const double* data);
KYHOST_EMBED_API kyArray* kyhostBorrowUint8(int32_t m, int32_t n, const uint8_t* data);

/* m-by-n arrays copied from the caller's memory, where element (i, j) lies
 * at byte offset i*rowStride + j*columnStride from data (strides may be
 * negative; column-major is rowStride = element size, columnStride =
 * m * element size). The memory is not used after the function returns. */
KYHOST_EMBED_API kyArray* kyhostCopyDouble(int32_t m, int32_t n, const double* data, ptrdiff_t rowStride,
                                           ptrdiff_t columnStride);
KYHOST_EMBED_API kyArray* kyhostCopyUint8(int32_t m, int32_t n, const uint8_t* data, ptrdiff_t rowStride,
                                          ptrdiff_t columnStride);

/* A 1-by-length text, copied (bytes as they are; no terminator needed). */
KYHOST_EMBED_API kyArray* kyhostCopyText(const char* text, size_t length);

/* An m-by-n sparse matrix in compressed-column form over the caller's
 * memory: columnStarts holds n + 1 entries from 0, never decreasing;
 * rowIndices and values hold columnStarts[n] entries, rows 0-based in
 * 0..m-1. Rows may come in any order within a column and may repeat: they
 * are used as given, never sorted or merged (a plug-in sees them in this
 * order). The layout is checked before anything is read by its numbers
 * (NULL with the reason when it is not as told); nothing is copied.
 * kyhostBorrowSparse trusts the caller for the arrays' lengths;
 * kyhostBorrowSparseSized is told them and also checks that there are
 * n + 1 column starts, that columnStarts[n] is at most rowIndexCount (later
 * entries are not used) and that there are as many values as row indices. */
KYHOST_EMBED_API kyArray* kyhostBorrowSparse(int32_t m, int32_t n, const int32_t* columnStarts,
                                             const int32_t* rowIndices, const double* values);
KYHOST_EMBED_API kyArray* kyhostBorrowSparseSized(int32_t m, int32_t n, const int32_t* columnStarts,
                                                  size_t columnStartCount, const int32_t* rowIndices,
                                                  size_t rowIndexCount, const double* values, size_t valueCount);

/* Frees an array the caller owns (NULL is ignored). */
KYHOST_EMBED_API void kyhostFreeArray(kyArray* array);

/* ---- Calls --------------------------------------------------------------- */

typedef struct kyhostCall kyhostCall;

/* Called with each warning's text as the plug-in issues it, inside the
 * call. Return 0 to let the call go on; any other value ends the call with
 * the error "Call stopped by the caller at a warning: TEXT". The text is
 * valid only during the callback. The callback must not call into this
 * interface. */
typedef int (*kyhostWarningCallback)(const char* text, void* userData);

/* Runs the function with outputCount outputs requested (0 to 64; the
 * function always gets at least one slot) on inputCount inputs, which may
 * be any arrays the caller owns. onWarning may be NULL. The result: see
 * Errors above; free it with kyhostCallFree. */
KYHOST_EMBED_API kyhostCall* kyhostRun(const kyhostFunction* function, int outputCount, int inputCount,
                                       const kyArray* const* inputs, kyhostWarningCallback onWarning,
                                       void* userData);

/* The error that ended the call, or NULL when it returned normally. */
KYHOST_EMBED_API const char* kyhostCallError(const kyhostCall* call);

/* The warnings in the order issued (index 0 to count-1). */
KYHOST_EMBED_API int kyhostCallWarningCount(const kyhostCall* call);
KYHOST_EMBED_API const char* kyhostCallWarning(const kyhostCall* call, int index);

/* Output slot index (0 to outputCount-1, or 0 when none were requested):
 * the array the function stored there, or NULL if it stored none or the
 * call ended in an error. The call keeps owning it. */
KYHOST_EMBED_API const kyArray* kyhostCallResult(const kyhostCall* call, int index);

/* Moves the result of slot index out of the call: the caller owns it from
 * now on and frees it with kyhostFreeArray. NULL if there is none (or it
 * was taken already). */
KYHOST_EMBED_API kyArray* kyhostCallTakeResult(kyhostCall* call, int index);

/* Wall time of the call in seconds, and the most host memory it held at
 * once, in bytes. */
KYHOST_EMBED_API double kyhostCallSeconds(const kyhostCall* call);
KYHOST_EMBED_API size_t kyhostCallPeakBytes(const kyhostCall* call);

/* Frees the call record with every result not taken (NULL is ignored). */
KYHOST_EMBED_API void kyhostCallFree(kyhostCall* call);

/* ---- Reading arrays ------------------------------------------------------ */

KYHOST_EMBED_API int kyhostArrayClass(const kyArray* array); /* KYHOST_DOUBLE, ... */
KYHOST_EMBED_API int32_t kyhostArrayRows(const kyArray* array);
KYHOST_EMBED_API int32_t kyhostArrayColumns(const kyArray* array);

/* Full arrays: the rows*columns elements, column-major (doubles or bytes).
 * Sparse: the values, kyhostArrayColumnStarts(array)[columns] of them,
 * made when they are first asked for; NULL only when there is no memory
 * to make them. Valid while the array lives. */
KYHOST_EMBED_API void* kyhostArrayData(const kyArray* array);

/* Sparse only (NULL otherwise): columns + 1 column starts, and the 0-based
 * row index of each stored entry. */
KYHOST_EMBED_API const int32_t* kyhostArrayColumnStarts(const kyArray* array);
KYHOST_EMBED_API const int32_t* kyhostArrayRowIndices(const kyArray* array);

/* ---- Errors -------------------------------------------------------------- */

/* Why the last function of this interface that failed on this thread did
 * so ("" before any failure). Valid until the thread's next failure. */
KYHOST_EMBED_API const char* kyhostLastError(void);

#ifdef __cplusplus
}
#endif

#endif /* KYHOST_EMBED_H */
