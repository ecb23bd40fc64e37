/* What the library exports; everything else in libtavrel is hidden. */
#ifndef TAVREL_EXPORT_H
#define TAVREL_EXPORT_H

#define TAVREL_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define TAVREL_BEGIN_DECLS extern "C" {
#define TAVREL_END_DECLS }
#else
#define TAVREL_BEGIN_DECLS
#define TAVREL_END_DECLS
#endif

#endif
