#include "audio/kaACMCalls.h"

TkaACMCalls& ACMCalls()
{
    static TkaACMCalls calls;
    return calls;
}
