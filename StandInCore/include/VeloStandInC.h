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

/* Leaves answering mode, stops the scenario playing and gives the core its real clock back
 * (VeloStandInScenarioC.h), waits for the answers queued on the core's thread, then forgets calls
 * and log lines and restores the default answers; the recording mode and the record limit stay.
 * Returns true; false when called on the core's own thread (from a callback it runs), where it
 * cannot wait for itself and resets at once without waiting. */
VELO_STANDIN_C_API bool veloStandInReset(void);
VELO_STANDIN_C_API void veloStandInSetAnswering(bool on);
/* Blocks until everything queued on the core's thread has run (with the manual clock: everything
 * that is due), and returns true. On the core's own thread it would wait for itself: it returns
 * false at once. Unload the library only after this or veloStandInReset returned: the core's
 * thread runs the library's code. */
VELO_STANDIN_C_API bool veloStandInWaitForAnswers(void);

/* The stand-in keeps the latest calls and log lines, at most `limit` of each (default 4096, at
 * least 1); older ones are dropped and counted, until the next reset. */
VELO_STANDIN_C_API void veloStandInSetRecordLimit(int limit);
VELO_STANDIN_C_API long long veloStandInDroppedCallCount(void);

/* The calls kept, oldest first. */
VELO_STANDIN_C_API int veloStandInCallCount(void);
/* One recorded call as JSON: {"operation":"Login","args":[{"kind":"text","hex":"6162",
 * "length":2,"terminated":true}, {"kind":"int","value":-3}, {"kind":"flag","value":true},
 * {"kind":"ctext","null":false,"hex":"656e"}, ...]}; null when there is no such call. */
VELO_STANDIN_C_API char* veloStandInCallJson(int index);
VELO_STANDIN_C_API void veloStandInReleaseText(char* text);

/* Fires one result through the installed observer of its kind: "login", "base", "qrcode",
 * "account", "notice" or "webview". The record is a JSON object whose keys are the record's
 * members, as the adapter writes them; members left out keep their defaults, a null
 * "embedProgress" is NaN and a number beyond a float's range an infinity. With fromCoreThread the
 * result is fired later from the core's own thread. False for an unknown kind, a text that is not
 * a JSON object or nests deeper than 64 levels, or no observer installed: veloStandInLastError
 * says which. */
VELO_STANDIN_C_API bool veloStandInFire(const char* kind, const char* recordJson,
                                        bool fromCoreThread);

/* Why the last call of this thread that returns false on failure (veloStandInFire,
 * veloStandInSetLoginRet, veloStandInCallJson's null) failed, as a text the caller releases with
 * veloStandInReleaseText (at most its first 511 bytes, cut at a character boundary); empty after
 * a call that succeeded. */
VELO_STANDIN_C_API char* veloStandInLastError(void);

/* What GetLoginRet fills in: a login record as JSON, as for veloStandInFire (null restores the
 * default); false, keeping the previous answer, for a text veloStandInFire would refuse. What
 * LoadNoticeData and GetEncodeUrl return (null restores the default). */
VELO_STANDIN_C_API bool veloStandInSetLoginRet(const char* recordJson);
VELO_STANDIN_C_API void veloStandInSetNoticeData(const char* text);
VELO_STANDIN_C_API void veloStandInSetEncodeUrl(const char* text);

#ifdef __cplusplus
}
#endif

#endif /* VELO_STANDIN_C_H */
