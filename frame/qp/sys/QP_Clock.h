#pragma once
// The platform's high-resolution counter: a monotonic clock read as integer ticks, plus the
// number of ticks per second. Used by QC_Timer and by the demo's millisecond clock.
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header,
// and no platform header either.

#include <cstdint>

// Ticks per second of QP_QueryCounter. Returns false (errorCode set to the platform's error
// number) when the monotonic clock cannot be used.
bool QP_QueryCounterFrequency(std::int64_t* frequency, int* errorCode);

// The monotonic counter now, in ticks. Never goes backwards; unrelated to the wall clock.
std::int64_t QP_QueryCounter();
