#include "fakestream.h"

namespace tarn::test {

void FakeStream::close()
{
    if (std::exchange(open, false))
        emit closed();
}

} // namespace tarn::test
