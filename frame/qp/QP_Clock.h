#pragma once
// The platform's high-resolution counter: a monotonic clock read as integer ticks, plus the
// number of ticks per second. QC_Timer is its only user above this layer.
// Nothing outside frame/qp includes a platform header; this file includes none either.

#include <cstdint>

// Ticks per second of QP_QueryCounter. Returns false (errorCode set to the platform's error
// number) when the monotonic clock cannot be used.
bool QP_QueryCounterFrequency(std::int64_t* frequency, int* errorCode);

// The monotonic counter now, in ticks. Never goes backwards; unrelated to the wall clock.
std::int64_t QP_QueryCounter();
