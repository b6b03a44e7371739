#pragma once
// The program-wide values: the settings record and the few values that outlive the windows
// that set them. One instance per run, handed to every window through the Desk.
#include <QString>
#include <QtGlobal>

struct Settings
{
    QString GameFolder;
    QString ProgramFolder;
    QString MapEditorPath;
    QString LandscapeEditorPath;
    QString SkinEditorPath;
    QString TattooEditorPath;
};

struct InstallerState
{
    QString AddedFileName;
    qint16 PackageEntryCount = 0;
    qint16 EntriesInstalled = 0;
    qint32 PackageCursor = 1;
    double ProgressStep = 0.0;
    QString EntryInstallPath;
    QString EntryTitle;
    QString ChosenFileName;
    qint16 WizardStep = 0;
};

struct Modual1
{
    Settings settings;
    QString BrowserAddress;
    QString MapFileName;
    QString LandFileName;
    QString SkinFileName;
    bool ReadmePreviewShown = false;
    InstallerState installer;
};
