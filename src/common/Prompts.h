#pragma once
// The one door through which the program asks the user something: file dialogs and message
// boxes. The real door opens Qt dialogs; tests hand in a scripted one.
#include <QString>
#include <optional>

struct FileRequest
{
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString filter;      // "description|pattern", empty for none
    QString initialPath; // Windows path offered as the initial name
    bool acceptFolder = false; // an open dialog may also answer with a folder
};

class Prompts
{
public:
    virtual ~Prompts() = default;

    // The chosen file as a Windows path, or nothing when the user cancelled.
    virtual std::optional<QString> chooseFile(const FileRequest &request) = 0;

    // A message box with a single OK button and the title "Veldrin".
    virtual void message(const QString &text) = 0;

    // A Yes/No question titled "Veldrin"; true for Yes.
    virtual bool question(const QString &text) = 0;
};

// A window's file dialog object (dio1, dio2, ...): it keeps its filter and the full path last
// chosen in it for as long as its window exists, and offers that path as the initial name.
class FileDialog
{
public:
    explicit FileDialog(Prompts &prompts) : m_prompts(&prompts) {}

    QString Filter;
    QString FileName; // Windows path
    bool AcceptFolder = false;

    // True when the user chose a file (FileName then holds it); false on cancel, which
    // leaves FileName as it was.
    bool showOpen() { return show(FileRequest::Mode::Open); }
    bool showSave() { return show(FileRequest::Mode::Save); }

private:
    bool show(FileRequest::Mode mode)
    {
        const auto chosen = m_prompts->chooseFile({mode, Filter, FileName, AcceptFolder});
        if (!chosen)
            return false;
        FileName = *chosen;
        return true;
    }

    Prompts *m_prompts;
};
