#include "core/util/cancel_token.h"

void CancelToken::reset()
{
    m_stopPass = false;
    m_cancelled = false;
}
