#pragma once

// One live call of the simulated controller in its fast mode (no pacing,
// confirmations at once), answered up to an active B3 connection, with data
// flowing both ways at the same time:
//   sent:     DataB3Request -> driver -> DATA_B3_CONF -> next block from the FIFO
//   received: DATA_B3_IND -> OnData -> DATA_B3_RESP -> next indication
// Shared by the benchmarks that load the controller directly and through
// the platform library.

#include <benchmark/benchmark.h>

#include <QString>

#include <cstdint>

// Opens DRIVER, answers the card's first call and measures one second of
// data each way per iteration. Counters: sent_blocks_per_s,
// received_blocks_per_s, allocations, allocations_per_block.
void RunDataBothWays(benchmark::State& state, const QString& driver);
