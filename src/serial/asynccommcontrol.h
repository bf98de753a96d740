#pragma once

#include "serial/commcontrol.h"

namespace tarn {

// A serial control that can also open without waiting for its far end, for a program that
// must go on serving others meanwhile (the gateway). The panel's handlers run one at a time
// and open with setPortOpen(); the rest of the control is the panel's.
class AsyncCommControl : public CommControl
{
    Q_OBJECT
public:
    using CommControl::CommControl;

    // Opens the port: opened() or openFailed() follows, possibly before this returns.
    // Closing the port drops an opening under way. By default the port opens at once, as
    // setPortOpen(true) does.
    virtual void beginOpen()
    {
        if (const Outcome outcome = setPortOpen(true); outcome)
            emit opened();
        else
            emit openFailed(outcome.description());
    }

signals:
    // The end of beginOpen(): the port is open, or it is closed and the description says
    // which device and why.
    void opened();
    void openFailed(const QString &description);
};

} // namespace tarn
