#pragma once

#include <QStringView>
#include <algorithm>
#include <array>

namespace tarn {

// The row of a fixed table whose text column holds `value`, or nullptr. Used on the option
// tables (speeds, PJ Select) by designer name and by caption.
template<typename Row, std::size_t N>
const Row *findRow(const std::array<Row, N> &rows, QStringView Row::*column, QStringView value)
{
    const auto it = std::ranges::find(rows, value, column);
    return it == rows.end() ? nullptr : &*it;
}

} // namespace tarn
