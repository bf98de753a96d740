#include "freezememory.h"

#include "traffic/frame.h"

#include <algorithm>

namespace tarn::bridge {
namespace {

qsizetype indexOf(QByteArrayView prefix)
{
    const auto it = std::ranges::find(kPjSelectOptions, prefix, &PjSelectOption::prefix);
    return it == kPjSelectOptions.end() ? -1 : it - kPjSelectOptions.begin();
}

} // namespace

void FreezeMemory::observe(QByteArrayView prefix, QByteArrayView code, QByteArrayView reply)
{
    const qsizetype address = indexOf(prefix);
    if (address < 0)
        return;
    const bool acknowledged = prefix == kEveryProjector || reply.endsWith(kAck);
    if ((code == "C43" || code == "C44") && acknowledged)
        sent(address, code == "C43");
    else if (code == "C00" || code == "C01")
        sent(address, std::nullopt);
    else if (code == "CR0")
        read(address, reply);
}

std::optional<bool> FreezeMemory::frozen(QByteArrayView prefix) const
{
    const qsizetype address = indexOf(prefix);
    return address < 0 || prefix == kEveryProjector ? std::nullopt
                                                    : m_projectors.at(address).frozen;
}

void FreezeMemory::sent(qsizetype address, std::optional<bool> frozen)
{
    const QByteArrayView prefix = kPjSelectOptions.at(address).prefix;
    for (qsizetype i = 0; i < std::ssize(m_projectors); ++i) {
        const QByteArrayView other = kPjSelectOptions.at(i).prefix;
        if (i == address || prefix == kEveryProjector)
            m_projectors.at(i).frozen = frozen;
        else if (prefix.isEmpty() || other.isEmpty())
            m_projectors.at(i).frozen.reset(); // it may be the same projector
    }
}

void FreezeMemory::read(qsizetype address, QByteArrayView reply)
{
    const auto power = readReply(QLatin1StringView("CR0"), reply).power;
    if (!power)
        return;
    Projector &projector = m_projectors.at(address);
    if (*power != PowerState::On || projector.power.value_or(*power) != *power)
        projector.frozen.reset();
    projector.power = power;
}

} // namespace tarn::bridge
