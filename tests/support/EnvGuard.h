#pragma once
// Environment variables set for as long as the guard lives. What was there before (a value,
// or no variable at all) is put back when it goes, so no test leaks a setting into the next.
#include <QByteArray>
#include <QList>

class EnvGuard
{
public:
    EnvGuard() = default;
    EnvGuard(const char *name, const QByteArray &value) { set(name, value); }
    ~EnvGuard() { restore(); }
    EnvGuard(const EnvGuard &) = delete;
    EnvGuard &operator=(const EnvGuard &) = delete;

    void set(const char *name, const QByteArray &value);
    void unset(const char *name);
    // Puts everything back now; the guard can be used again afterwards.
    void restore();

private:
    struct Saved
    {
        QByteArray name;
        bool wasSet;
        QByteArray value;
    };
    void save(const char *name);
    QList<Saved> m_saved;
};
