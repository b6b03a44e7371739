#pragma once
// The one way a check that can refuse says why: the reason goes to whoever asked for it, and
// the answer is false.
#include <QString>

namespace failure {

inline bool fail(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return false;
}

} // namespace failure
