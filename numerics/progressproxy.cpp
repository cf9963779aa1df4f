#include "numerics/progressproxy.h"

void ProgressProxy::cancel()
{
    if (ProgressSubject* s = currentSubject())
        s->cancel();
    ProgressSubject::cancel();
}
