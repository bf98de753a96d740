#pragma once

namespace tarn {

// The value of an upper-case hexadecimal digit, as frames and replies write them, or -1
// for any other character (a lower-case digit included).
constexpr int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace tarn
