#include "traffic/addressing.h"

namespace tarn {
namespace {

// "001" to "004": the four addressed projectors.
bool numbered(const PjSelectOption &address)
{
    return address.caption.front().isDigit();
}

} // namespace

const PjSelectOption *addressForWord(QStringView word)
{
    for (const PjSelectOption &address : kPjSelectOptions) {
        if (word.compare(address.caption, Qt::CaseInsensitive) == 0 ||
            (numbered(address) && word == address.caption.right(1)))
            return &address;
    }
    return nullptr;
}

QString addressWord(const PjSelectOption &address)
{
    return numbered(address) ? address.caption.right(1).toString()
                             : address.caption.toString().toLower();
}

} // namespace tarn
