// Wall time of one action, for the benchmark programs that print figures.
#pragma once

#include <windows.h>

// Milliseconds that action() takes, measured with the performance counter.
template <typename Action> double TimedMs(Action action) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    action();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}
