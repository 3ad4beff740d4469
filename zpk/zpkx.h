/* zpkx: the interactive stream editor of the zpk library. */
#ifndef ZPK_ZPKX_H
#define ZPK_ZPKX_H

#if defined(_WIN32)
#if defined(ZPKX_BUILDING_LIBRARY)
#define ZPKX_API __declspec(dllexport)
#else
#define ZPKX_API /* no dllimport: static test doubles link too (docs/windows.md) */
#endif
#else
#define ZPKX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the console stream editor on standard input and output; returns when
 * the operator quits (1) or input ends (0). */
ZPKX_API int edSS(void);

#ifdef __cplusplus
}
#endif

#endif
