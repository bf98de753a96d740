#pragma once

namespace tarn {

// The value of an upper-case hexadecimal digit, as frames and replies write them, or -1
// for any other character (a lower-case digit included). Char is char for the bytes of
// the line, char16_t for their monitor rendering.
template<typename Char> constexpr int hexValue(Char c)
{
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

} // namespace tarn
