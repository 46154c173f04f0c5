/* Every plug-in computes in IEEE double precision. On x86 targets whose
 * double arithmetic runs on the x87 unit, intermediate results would carry
 * 64-bit significands unless the precision control is set to 53 bits, so the
 * plug-in sets it when it is loaded. On x86-64 (and any target that does
 * double arithmetic in SSE2 or another IEEE double unit) there is nothing to
 * set: each operation already rounds to double. */
#if (defined(__i386__) || defined(_M_IX86)) && !defined(__SSE2_MATH__)
#  if defined(_WIN32)
#    include <float.h>
__attribute__((constructor)) static void kySetDoublePrecision(void)
{
    _controlfp(_PC_53, _MCW_PC);
}
#  else
#    include <fpu_control.h>
__attribute__((constructor)) static void kySetDoublePrecision(void)
{
    fpu_control_t word;
    _FPU_GETCW(word);
    word = (word & ~_FPU_EXTENDED) | _FPU_DOUBLE;
    _FPU_SETCW(word);
}
#  endif
#else
/* Keeps the translation unit non-empty where nothing needs setting. */
typedef int kyNoPrecisionControlNeeded;
#endif
