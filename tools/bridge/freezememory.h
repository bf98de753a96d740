#pragma once

#include "replies/projectorstatus.h"
#include "traffic/addressing.h"

#include <QByteArrayView>
#include <array>
#include <optional>

namespace tarn::bridge {

// The freeze state the gateway last sent each projector, for PJLink's FREZ ?: the line
// cannot ask a projector for it. It learns from every frame on the line, whoever sent it:
//  - FREEZE ON or OFF counts once acknowledged; sent to every projector, once sent.
//  - A frame to no address acts on the lone projector, which may have an address as well,
//    and a frame to an address may reach that one: each makes the other's state unknown.
//  - The state is forgotten when the power state changes: on a power action, and on a
//    status reply whose power state is not on, or not the one read before.
// Frames to any other prefix reach no projector and are ignored.
class FreezeMemory
{
public:
    // One frame's code ("C43", "CR0") to `prefix` and its reply, without a closing CR.
    void observe(QByteArrayView prefix, QByteArrayView code, QByteArrayView reply);
    // Frozen or not; nothing while unknown.
    std::optional<bool> frozen(QByteArrayView prefix) const;

private:
    struct Projector
    {
        std::optional<bool> frozen;
        std::optional<PowerState> power; // as last read
    };

    void sent(qsizetype address, std::optional<bool> frozen);
    void read(qsizetype address, QByteArrayView reply);

    std::array<Projector, kPjSelectOptions.size()> m_projectors; // by kPjSelectOptions index
};

} // namespace tarn::bridge
