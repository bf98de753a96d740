#include "rotation.h"

#include <algorithm>

namespace tarn::bridge {

void Rotation::push(Waiting waiting)
{
    auto lane = std::ranges::find(m_lanes, waiting.owner, &Lane::owner);
    if (lane == m_lanes.end())
        lane = m_lanes.insert(m_lanes.end(), Lane{waiting.owner, {}});
    lane->waiting.push_back(std::move(waiting));
}

std::optional<Waiting> Rotation::take()
{
    if (m_lanes.empty())
        return std::nullopt;
    Lane lane = std::move(m_lanes.front());
    m_lanes.pop_front();
    Waiting next = std::move(lane.waiting.front());
    lane.waiting.pop_front();
    if (!lane.waiting.empty())
        m_lanes.push_back(std::move(lane));
    return next;
}

void Rotation::cancel(const void *owner)
{
    std::erase_if(m_lanes, [owner](const Lane &lane) { return lane.owner == owner; });
}

std::optional<milliseconds> Rotation::earliestMark() const
{
    std::optional<milliseconds> earliest;
    for (const Lane &lane : m_lanes)
        earliest =
            std::min(earliest.value_or(lane.waiting.front().rawMark), lane.waiting.front().rawMark);
    return earliest;
}

} // namespace tarn::bridge
