#pragma once

#include <QString>
#include <QStringList>

// What a program run took: wall-clock ms (-1 when it failed to run or
// exited with an error), the processor time of all its threads, and its
// peak resident memory.
struct ProcessCost
{
    double ms = -1;
    double cpuMs = 0;
    double peakMb = 0;
};

// Runs a program to its end with its standard output thrown away, and its
// error output too unless keepErrors.
ProcessCost runMeasured(const QString &program, const QStringList &arguments, bool keepErrors = false);
