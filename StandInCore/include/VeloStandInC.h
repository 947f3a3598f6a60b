/*
 * The stand-in core's control interface for callers that reach it through C, a managed runtime
 * above all: what it recorded, what it answers, firing results, and answering mode. Texts go in
 * and come out as UTF-8; texts returned belong to the caller, released with
 * veloStandInReleaseText.
 */
#ifndef VELO_STANDIN_C_H
#define VELO_STANDIN_C_H

#include <stdbool.h>

#if defined(_WIN32)
#if defined(VELO_CORE_BUILD)
#define VELO_STANDIN_C_API __declspec(dllexport)
#else
#define VELO_STANDIN_C_API __declspec(dllimport)
#endif
#else
#define VELO_STANDIN_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Reset: forgets calls and log lines, restores default answers and recording mode. */
VELO_STANDIN_C_API void veloStandInReset(void);
VELO_STANDIN_C_API void veloStandInSetAnswering(bool on);
/* Blocks until everything queued on the core's thread has run. */
VELO_STANDIN_C_API void veloStandInWaitForAnswers(void);

VELO_STANDIN_C_API int veloStandInCallCount(void);
/* One recorded call as JSON: {"operation":"Login","args":[{"kind":"text","hex":"6162",
 * "length":2,"terminated":true}, {"kind":"int","value":-3}, {"kind":"flag","value":true},
 * {"kind":"ctext","null":false,"hex":"656e"}, ...]}; null when there is no such call. */
VELO_STANDIN_C_API char* veloStandInCallJson(int index);
VELO_STANDIN_C_API void veloStandInReleaseText(char* text);

/* Fires one result through the installed observer of its kind: "login", "base", "qrcode",
 * "account", "notice" or "webview". The record is a JSON object whose keys are the record's
 * members, as the adapter writes them; members left out keep their defaults, a null
 * "embedProgress" is NaN. With fromCoreThread the result is fired later from the core's own
 * thread. False for an unknown kind, a record that does not parse, or no observer installed. */
VELO_STANDIN_C_API bool veloStandInFire(const char* kind, const char* recordJson,
                                        bool fromCoreThread);

/* What GetLoginRet fills in (a login record as JSON, as for veloStandInFire; null restores the
 * default), what LoadNoticeData and GetEncodeUrl return (null restores the default). */
VELO_STANDIN_C_API void veloStandInSetLoginRet(const char* recordJson);
VELO_STANDIN_C_API void veloStandInSetNoticeData(const char* text);
VELO_STANDIN_C_API void veloStandInSetEncodeUrl(const char* text);

#ifdef __cplusplus
}
#endif

#endif /* VELO_STANDIN_C_H */
