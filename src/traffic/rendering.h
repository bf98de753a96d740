#pragma once

#include <QByteArrayView>
#include <QString>

namespace tarn {

// The monitor rendering: how the TXD and RXD lines show the bytes of a frame or a
// reply, and the text that reply decoding reads. A leading space, then one token per
// byte: ACK "&", CR "CR ", LF "LF ", a byte from " " to "z" itself and a space, and
// "? " for everything else (other control bytes, "{" to "~", 127, bytes above 127).
QString renderMonitor(QByteArrayView data);

} // namespace tarn
