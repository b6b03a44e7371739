#pragma once
// libarchive's entry points, loaded the first time an archive is read or written instead of
// with the program: most starts never touch an archive, and the library with its compression
// and XML libraries would otherwise be loaded and relocated by every one of them.
#include <QString>

#include <archive.h>
#include <archive_entry.h>

namespace archives {

#define VELDRIN_ARCHIVE_CALLS(X)                                                                                       \
    X(archive_error_string)                                                                                            \
    X(archive_format)                                                                                                  \
    X(archive_format_name)                                                                                             \
    X(archive_read_new)                                                                                                \
    X(archive_read_free)                                                                                               \
    X(archive_read_support_filter_all)                                                                                 \
    X(archive_read_support_format_zip)                                                                                 \
    X(archive_read_support_format_7zip)                                                                                \
    X(archive_read_support_format_rar)                                                                                 \
    X(archive_read_support_format_rar5)                                                                                \
    X(archive_read_support_format_tar)                                                                                 \
    X(archive_read_support_format_gnutar)                                                                              \
    X(archive_read_support_format_cab)                                                                                 \
    X(archive_read_support_format_lha)                                                                                 \
    X(archive_read_open_filename)                                                                                      \
    X(archive_read_open_memory)                                                                                        \
    X(archive_read_next_header)                                                                                        \
    X(archive_read_data)                                                                                               \
    X(archive_entry_new)                                                                                               \
    X(archive_entry_free)                                                                                              \
    X(archive_entry_pathname)                                                                                          \
    X(archive_entry_pathname_utf8)                                                                                     \
    X(archive_entry_is_encrypted)                                                                                      \
    X(archive_entry_size_is_set)                                                                                       \
    X(archive_entry_size)                                                                                              \
    X(archive_entry_hardlink)                                                                                          \
    X(archive_entry_filetype)                                                                                          \
    X(archive_entry_set_pathname_utf8)                                                                                 \
    X(archive_entry_set_filetype)                                                                                      \
    X(archive_entry_set_perm)                                                                                          \
    X(archive_entry_set_size)                                                                                          \
    X(archive_entry_set_mtime)                                                                                         \
    X(archive_entry_set_hardlink)                                                                                      \
    X(archive_entry_set_symlink)                                                                                       \
    X(archive_entry_set_rdev)                                                                                          \
    X(archive_write_new)                                                                                               \
    X(archive_write_free)                                                                                              \
    X(archive_write_set_format_zip)                                                                                    \
    X(archive_write_set_format_pax_restricted)                                                                         \
    X(archive_write_set_format_7zip)                                                                                   \
    X(archive_write_add_filter_gzip)                                                                                   \
    X(archive_write_set_options)                                                                                       \
    X(archive_write_set_passphrase)                                                                                    \
    X(archive_write_set_bytes_in_last_block)                                                                           \
    X(archive_write_open2)                                                                                             \
    X(archive_write_header)                                                                                            \
    X(archive_write_data)                                                                                              \
    X(archive_write_close)

struct ArchiveApi
{
#define VELDRIN_ARCHIVE_POINTER(name) decltype(&::name) name = nullptr;
    VELDRIN_ARCHIVE_CALLS(VELDRIN_ARCHIVE_POINTER)
#undef VELDRIN_ARCHIVE_POINTER
};

// The library the build was linked against, loaded once for the whole run; null when it cannot
// be loaded, with the reason in *error.
const ArchiveApi *archiveApi(QString *error = nullptr);

// Loads the entry points from the library file fileName (a name the system's loader finds, or a
// path); false with the reason in *error when the file is missing or lacks one of them.
bool loadArchiveApi(const QString &fileName, ArchiveApi *api, QString *error);

} // namespace archives
