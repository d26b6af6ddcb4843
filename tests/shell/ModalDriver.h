#pragma once

// Answers the program's modal dialogs in a test: each time a dialog window is shown, the next
// step runs on it once the dialog's own event loop is running. A dialog shown when no step is
// left is a test failure and is closed, so a test cannot hang on it.

#include "shell/LockOut.h"
#include "worksheet/VarPrompt.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace qd::test {

class ModalDriver : public QObject {
public:
    using Step = std::function<void(QDialog *dialog)>;

    ModalDriver() { qApp->installEventFilter(this); }
    ~ModalDriver() override
    {
        qApp->removeEventFilter(this);
        EXPECT_TRUE(steps.isEmpty()) << steps.size() << " dialog steps were not used";
    }

    void add(Step step) { steps.append(std::move(step)); }

    // Types text into the value prompt and confirms (or cancels) it.
    void prompt(const QString &text, bool ok = true)
    {
        add([text, ok](QDialog *dialog) {
            auto *prompt = qobject_cast<TKXVarPrompt *>(dialog);
            ASSERT_NE(prompt, nullptr) << dialog->objectName().toStdString();
            EXPECT_EQ(prompt->windowTitle(), QStringLiteral("Secure Password Entry"));
            EXPECT_EQ(prompt->lblPrompt()->text(), QStringLiteral("Enter Security Password"));
            EXPECT_EQ(prompt->edtValue()->echoMode(), QLineEdit::Password);
            QTest::keyClicks(prompt->edtValue(), text);
            QTest::mouseClick(ok ? prompt->btnOK() : prompt->btnCancel(), Qt::LeftButton);
        });
    }

    // Types text into the screen lock and presses OK; check runs first, while it is up.
    void unlock(const QString &text, std::function<void()> check = {})
    {
        add([text, check](QDialog *dialog) {
            auto *lock = qobject_cast<TfrmLockOut *>(dialog);
            ASSERT_NE(lock, nullptr) << dialog->objectName().toStdString();
            if (check)
                check();
            EXPECT_TRUE(lock->edtPassword()->text().isEmpty());
            QTest::keyClicks(lock->edtPassword(), text);
            QTest::mouseClick(lock->btnOK(), Qt::LeftButton);
        });
    }

    QList<Step> steps;
    QStringList shown; // object names of the dialogs shown, in order

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *dialog = qobject_cast<QDialog *>(watched);
            if (dialog && dialog->isWindow()) {
                shown.append(dialog->objectName());
                QPointer<QDialog> guard(dialog);
                QTimer::singleShot(0, this, [this, guard] {
                    if (!guard || !guard->isVisible())
                        return;
                    if (steps.isEmpty()) {
                        ADD_FAILURE() << "unexpected dialog " << guard->objectName().toStdString();
                        guard->done(qobject_cast<TfrmLockOut *>(guard.data()) ? 3 : 0);
                        return;
                    }
                    Step step = steps.takeFirst();
                    step(guard);
                });
            }
        }
        return false;
    }
};

} // namespace qd::test
