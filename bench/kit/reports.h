#pragma once

#include <QStringList>

namespace tarn::bench {

// What the STATUS line went through while the line was down, judged for "each failure
// reported once": a failure may come back once after the display clearing blanked it,
// but a text that keeps coming back is being reported per failing tick.
struct FailureReports
{
    int reports = 0;  // texts shown, blanks not counted
    int distinct = 0; // different texts among them
    bool once = false;
};

// trace: every STATUS text in order, an empty text for a blanked line.
FailureReports judgeFailureReports(const QStringList &trace);

} // namespace tarn::bench
