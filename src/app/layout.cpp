#include "app/layout.h"

#include <algorithm>
#include <array>

namespace tarn::layout {
namespace {

using enum Kind;

// Filled in with the whole window.
const std::array<Control, 0> kControls = {};
const std::array<Line, 0> kLines = {};

} // namespace

std::span<const Control> controls()
{
    return kControls;
}
std::span<const Line> lines()
{
    return kLines;
}

const Control *find(QStringView name)
{
    const auto it = std::ranges::find(kControls, name, &Control::name);
    return it == kControls.end() ? nullptr : &*it;
}

} // namespace tarn::layout
