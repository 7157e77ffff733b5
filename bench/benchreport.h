#ifndef BENCHREPORT_H
#define BENCHREPORT_H

#include <QString>
#include <QVector>
#include <algorithm>
#include <cstdio>

// One line per figure, collected into a table by scripts/bench.sh:
// BENCH <tab> figure <tab> value <tab> target <tab> met
inline void benchReport(const QString &figure, double value, const QString &unit, double target,
                        bool lowerIsBetter = true)
{
    const bool met = lowerIsBetter ? value <= target : value >= target;
    std::printf("BENCH\t%s\t%.3f %s\t%s %.3f %s\t%s\n", qUtf8Printable(figure), value,
                qUtf8Printable(unit), lowerIsBetter ? "<=" : ">=", target, qUtf8Printable(unit),
                met ? "oui" : "NON");
    std::fflush(stdout);
}

inline double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int mid = values.size() / 2;
    return values.size() % 2 ? values.at(mid) : (values.at(mid - 1) + values.at(mid)) / 2;
}

#endif
