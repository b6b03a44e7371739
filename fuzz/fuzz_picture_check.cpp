// The whole-picture check on any bytes: it must never read outside them, never hang on a
// run-length stream, and a picture it calls whole must stay whole when bytes follow it
// (files often carry padding after the pixels).
#include "managers/PictureCheck.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const bool whole = picturecheck::isWhole(bytes, &why);
    if (whole != why.isEmpty())
        std::abort();
    if (whole && !picturecheck::isWhole(bytes + QByteArray(16, '\0')))
        std::abort();
    return 0;
}
