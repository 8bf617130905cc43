// The envelope generators' stage times and curve shapes.
#pragma once

// Stage times in seconds for the settings 0..31.
enum class EnvelopeTimes { Attack8000, Decay8000, Slope8000, All6000 };
const double* EnvelopeTimeTable(EnvelopeTimes which);

// The time of a setting p in 0..1 (setting / 31), interpolated between the table's entries.
double EnvelopeTime(const double* table, double p);

// The exponential decay curve E (257 entries, from 1.0 down to about 0.00005, then 0) and its
// inverse P (32 entries): P[k] is the position on E, as a fraction of 255 steps, where E has
// fallen to 1 - k/31. Built once for the process.
struct EnvelopeCurves {
    double e[257];
    double p[32];
};
const EnvelopeCurves& GetEnvelopeCurves();
