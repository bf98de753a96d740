#include "reports.h"

namespace tarn::bench {

FailureReports judgeFailureReports(const QStringList &trace)
{
    FailureReports result;
    QStringList seen;
    bool blanked = false;
    bool reshown = false;
    result.once = true;
    for (const QString &text : trace) {
        if (text.isEmpty()) {
            blanked = true;
            continue;
        }
        ++result.reports;
        if (!seen.contains(text)) {
            seen << text;
            continue;
        }
        // The same text again: allowed once, after the line was blanked.
        if (blanked && !reshown)
            reshown = true;
        else
            result.once = false;
    }
    result.distinct = static_cast<int>(seen.size());
    result.once = result.once && result.reports > 0;
    return result;
}

} // namespace tarn::bench
