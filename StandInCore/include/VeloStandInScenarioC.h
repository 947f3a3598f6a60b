/*
 * Scenarios for the stand-in core, through C: a scenario file scripts what the core answers to
 * each request (results after delays, no answer, or a refusal), and the core plays it from its
 * own thread, on its clock. The format is described by scenario.schema.json in the Unity
 * package's Documentation~ folder. Texts are UTF-8. A call that returns false says why in
 * veloStandInLastError (VeloStandInC.h).
 */
#ifndef VELO_STANDIN_SCENARIO_C_H
#define VELO_STANDIN_SCENARIO_C_H

#include <stdbool.h>

#include "VeloStandInC.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Plays the scenario `text` (a zero-terminated JSON document; `name` names it in messages, null
 * for "scenario") in place of the one playing, from now on: its answers still to come are
 * forgotten, and its login snapshot becomes the session's. Playing a scenario is answering
 * mode, scripted. False, with the scenario that was playing still playing, for a text that is
 * not a scenario: veloStandInLastError then gives "name:line:column: what was expected". */
VELO_STANDIN_C_API bool veloStandInPlayScenario(const char* text, const char* name);
/* As veloStandInPlayScenario, with the text of the file at `path` (named by its path). */
VELO_STANDIN_C_API bool veloStandInPlayScenarioFile(const char* path);
/* Reads the file at `path` as veloStandInPlayScenarioFile does, and plays nothing. */
VELO_STANDIN_C_API bool veloStandInCheckScenarioFile(const char* path);
/* Stops playing; the answers still to come are forgotten. veloStandInReset also stops. */
VELO_STANDIN_C_API void veloStandInStopScenario(void);

/* The core's clock, which times its answers: the real one by default and after
 * veloStandInReset, or, for tests, a manual one that stands still until moved on, so that no
 * test waits for real time. */
VELO_STANDIN_C_API void veloStandInSetManualClock(bool on);
/* Moves the manual clock on by `milliseconds` (at least 0), then waits until every answer that
 * has become due has been delivered. False with the real clock (which no call moves) and when
 * called on the core's own thread (which cannot wait for itself: the clock moves, nothing is
 * waited for). */
VELO_STANDIN_C_API bool veloStandInAdvanceClock(long long milliseconds);
/* The clock's time in milliseconds, from an arbitrary start. */
VELO_STANDIN_C_API long long veloStandInClockMilliseconds(void);

#ifdef __cplusplus
}
#endif

#endif /* VELO_STANDIN_SCENARIO_C_H */
