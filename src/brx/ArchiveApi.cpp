#include "brx/ArchiveApi.h"

#include <QLibrary>
#include <memory>
#include <mutex>
#include <vector>

namespace archives {

bool loadArchiveApi(const QString &fileName, ArchiveApi *api, QString *error)
{
    // Never unloaded: readers and writers made from it may live until the program ends. Kept
    // where the leak checkers see it, as a library held on purpose.
    static std::mutex keptLock;
    static std::vector<std::unique_ptr<QLibrary>> kept;
    auto *library = new QLibrary(fileName);
    if (!library->load()) {
        if (error)
            *error = QStringLiteral("the archive library %1 could not be loaded (%2)").arg(fileName, library->errorString());
        delete library;
        return false;
    }
    ArchiveApi found;
    const char *missing = nullptr;
#define VELDRIN_ARCHIVE_RESOLVE(name)                                                                                  \
    found.name = reinterpret_cast<decltype(&::name)>(library->resolve(#name));                                        \
    if (!found.name && !missing)                                                                                       \
        missing = #name;
    VELDRIN_ARCHIVE_CALLS(VELDRIN_ARCHIVE_RESOLVE)
#undef VELDRIN_ARCHIVE_RESOLVE
    if (missing) {
        if (error)
            *error = QStringLiteral("the archive library %1 has no %2 (too old a libarchive?)")
                         .arg(fileName, QLatin1String(missing));
        library->unload();
        delete library;
        return false;
    }
    *api = found;
    const std::lock_guard<std::mutex> held(keptLock);
    kept.emplace_back(library);
    return true;
}

const ArchiveApi *archiveApi(QString *error)
{
    struct Loaded
    {
        ArchiveApi api;
        QString error;
        bool ok = false;
    };
    static const Loaded loaded = [] {
        Loaded result;
        result.ok = loadArchiveApi(QStringLiteral(VELDRIN_LIBARCHIVE_FILE), &result.api, &result.error);
        return result;
    }();
    if (!loaded.ok && error)
        *error = loaded.error;
    return loaded.ok ? &loaded.api : nullptr;
}

} // namespace archives
