#include "brx/Archive.h"
#include "brx/ArchiveApi.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QTest>

// libarchive is loaded when first needed, not linked: a library that is missing or too old
// must end in a message, never in a call through a null pointer.
class test_ArchiveLibrary : public QObject
{
    Q_OBJECT
private slots:
    void aMissingOrForeignLibraryIsRefusedByName()
    {
        archives::ArchiveApi api;
        QString error;
        QVERIFY(!archives::loadArchiveApi(QStringLiteral("libveldrin-no-such-archive.so.13"), &api, &error));
        QVERIFY2(error.contains(QLatin1String("libveldrin-no-such-archive.so.13")), qPrintable(error));
        QVERIFY(!api.archive_read_new);

        // A real library without libarchive's calls: the first missing one is named and nothing
        // is handed out, so no reader can reach a call that is not there.
        const QString foreign = QLibraryInfo::path(QLibraryInfo::LibrariesPath)
            + QStringLiteral("/libQt6Core.so.%1").arg(QT_VERSION_MAJOR);
        if (!QFileInfo::exists(foreign))
            QSKIP("Qt's core library is not a file of its own here");
        error.clear();
        QVERIFY(!archives::loadArchiveApi(foreign, &api, &error));
        QVERIFY2(error.contains(QLatin1String("has no archive_error_string")), qPrintable(error));
        QVERIFY(!api.archive_error_string);
    }

    void theBuildsLibraryReadsBackWhatItWrites()
    {
        QString error;
        const archives::ArchiveApi *api = archives::archiveApi(&error);
        QVERIFY2(api, qPrintable(error));
        QVERIFY(api->archive_write_close && api->archive_read_data);
        // Loaded once: every reader and writer shares the same entry points.
        QCOMPARE(archives::archiveApi(), api);

        archives::Writer writer(archives::Writer::TarGz);
        QVERIFY(writer.addFile(QStringLiteral("Maps/island.txt"), "// island\r\n"));
        const QByteArray bytes = writer.finish(&error);
        QVERIFY2(!bytes.isEmpty(), qPrintable(error));
        const archives::Checked checked = archives::checkMemory(bytes, QStringLiteral("pack.tar.gz"));
        QVERIFY2(checked.ok(), qPrintable(checked.refusal));
        QCOMPARE(checked.files.size(), 1);
        QCOMPARE(checked.files.first().path, QStringLiteral("Maps/island.txt"));
        QCOMPARE(checked.total, qint64(11));
    }
};

QTEST_GUILESS_MAIN(test_ArchiveLibrary)
#include "test_ArchiveLibrary.moc"
