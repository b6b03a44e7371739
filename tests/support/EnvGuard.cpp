#include "support/EnvGuard.h"

#include <QtGlobal>

void EnvGuard::save(const char *name) { m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)}); }

void EnvGuard::set(const char *name, const QByteArray &value)
{
    save(name);
    qputenv(name, value);
}

void EnvGuard::unset(const char *name)
{
    save(name);
    qunsetenv(name);
}

void EnvGuard::restore()
{
    // Newest first: a variable set twice ends with the value it had before the first change.
    while (!m_saved.isEmpty()) {
        const Saved saved = m_saved.takeLast();
        if (saved.wasSet)
            qputenv(saved.name.constData(), saved.value);
        else
            qunsetenv(saved.name.constData());
    }
}
