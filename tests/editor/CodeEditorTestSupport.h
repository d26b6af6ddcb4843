#pragma once

// A file editor whose questions, messages and file dialogs are answered by the test.

#include "editor/CodeEditor.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>

namespace qd::test {

class CodeEditorFixture : public ::testing::Test {
protected:
    CodeEditorFixture()
    {
        editor.resize(400, 300);
        editor.SetWordWrap(false);
        editor.Dialogs.Confirm = [this](QWidget *, const QString &message, const QString &) {
            questions.append(message);
            if (answers.empty())
                return int(eaCancel);
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        };
        editor.Dialogs.Message = [this](QWidget *, const QString &message, bool) {
            messages.append(message);
        };
        editor.Dialogs.InputQuery
            = [this](QWidget *, const QString &, const QString &prompt, QString &value) {
                  prompts.append(prompt);
                  if (inputs.empty())
                      return false;
                  value = inputs.front();
                  inputs.pop_front();
                  return true;
              };
        editor.Dialogs.ChooseFile = [this](QWidget *, const TFileDialogRequest &request) {
            fileRequests.append(request.Caption);
            if (chosenFiles.empty())
                return QString();
            const QString name = chosenFiles.front();
            chosenFiles.pop_front();
            return name;
        };
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    static QByteArray readBytes(const QString &fileName)
    {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static void writeBytes(const QString &fileName, const QByteArray &bytes)
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QTemporaryDir dir;
    TCodeEditor editor;
    std::deque<int> answers;
    std::deque<QString> inputs;
    std::deque<QString> chosenFiles;
    QStringList questions;
    QStringList messages;
    QStringList prompts;
    QStringList fileRequests;
};

} // namespace qd::test
