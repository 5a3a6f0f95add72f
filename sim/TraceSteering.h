#pragma once
// Steering of the simulated controller's D-channel trace for tests,
// benchmarks and tools.
//
// The trace starts for an application with the AVM trace request for
// controller 1 (frames arrive as 'AVM!' MANUFACTURER_IND) or the KORVAN one
// (kind 14 'KORV' indications) and stops with the matching off request or the
// application's release. A scenario with CAPI messages ("MSG" lines) is a
// script: it plays once from the application's registration on, and its
// frames wait for the trace. Environment, read when an application registers
// and when a trace starts:
//   VESSIK_SIM_SCENARIO   file of frames to play once instead of the looping demo
//   VESSIK_SIM_STATS=1    report the answer counts on standard error at release
// and at a reset or load of the card (SimController):
//   VESSIK_SIM_SCRIPTED=1 send nothing of its own, only what a scenario says
//   VESSIK_SIM_PUTLOG     file every put message is appended to (hex line)
// and once when the library is loaded:
//   VESSIK_SIM_MANUFACTURER  the manufacturer text (e.g. "KORVAN ..." makes a
//                            host send the KORVAN request)

#include <cstdint>

#ifndef VSIM_EXPORT
#define VSIM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

struct VsimTraceCounts {
    uint64_t Sent;       // indications delivered
    uint64_t Answered;   // answered with the right message number
    uint64_t Unanswered; // delivered and not (yet) answered
    uint64_t Wrong;      // answers whose number matched no open indication
};

// Scenario text to play from the next trace start on (format of a scenario
// file); null returns to VESSIK_SIM_SCENARIO or the demo. Returns the number
// of lines that were not understood.
VSIM_EXPORT uint32_t VsimTraceSetScenario(const char* text);
// 1: start over at the end; 0: stop at the end; -1: the default (the demo
// loops, a scenario plays once).
VSIM_EXPORT void VsimTraceSetLooping(int looping);
// 0: ignore the pauses of the scenario (play as fast as answers come back).
VSIM_EXPORT void VsimTraceSetPaced(int paced);
// Most indications that may wait for their answer; the player holds back
// when this many are open, as a controller's buffer would (default 64).
VSIM_EXPORT void VsimTraceSetWindow(uint32_t window);
// 1 while the application (0 = the newest) has its trace on.
VSIM_EXPORT int VsimTraceActive(uint32_t applId);
// Counts of the application's trace (0 = the newest); after its release,
// those of the last released application.
VSIM_EXPORT void VsimTraceGetCounts(uint32_t applId, VsimTraceCounts* counts);
// Stops every trace, restores the defaults above and hooks the trace into
// the card again.
VSIM_EXPORT void VsimTraceReset(void);
}
