#pragma once
// The name every kept or written file's bytes go by in the history: their SHA-256, in hex.
#include <QString>
#include <memory>

class QByteArray;

namespace history {

class ContentHash
{
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash &) = delete;
    ContentHash &operator=(const ContentHash &) = delete;

    void add(const char *data, qsizetype size);
    void add(const QByteArray &bytes);
    // Lower-case hex; the hash starts again afterwards. Empty in the one case the system's
    // crypto library refuses bytes it has begun on, which it does not do for this hash.
    QString hex();

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace history
