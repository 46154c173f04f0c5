/* Symbol visibility of the host libraries and of plug-in entry points. */
#ifndef KY_EXPORT_H
#define KY_EXPORT_H

#if defined(_WIN32)
#  if defined(KY_BUILDING_HOST)
#    define KY_API __declspec(dllexport)
#  else
#    define KY_API __declspec(dllimport)
#  endif
#  define KYX_EXPORT __declspec(dllexport)
#  define KY_NORETURN __declspec(noreturn)
#else
#  define KY_API __attribute__((visibility("default")))
#  define KYX_EXPORT __attribute__((visibility("default")))
#  define KY_NORETURN __attribute__((noreturn))
#endif

#endif /* KY_EXPORT_H */
