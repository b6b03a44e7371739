#pragma once
#include "common/Prompts.h"

// Prompts answered by real Qt dialogs, parented to the active window.
class WidgetPrompts : public Prompts
{
public:
    std::optional<QString> chooseFile(const FileRequest &request) override;
    void message(const QString &text) override;
    bool question(const QString &text) override;

    // "Black and White Maps (*.txt)|*.txt" -> "Black and White Maps (*.txt)"
    static QString qtFilter(const QString &filter);
};
