// The grid export options dialog, driven offscreen: the two modes, the checks of OK in their
// order, and the values it keeps from one use to the next.

#include "WorksheetTestSupport.h"

#include "worksheet/GridExpOpt.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace qd;
using qd::test::WorksheetTest;

namespace {

class GridExpOptTest : public WorksheetTest {
protected:
    template <class T> T *child(const char *name)
    {
        T *widget = dialog.findChild<T *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Runs the dialog in mode; act is called once it is shown, then OK is pressed until the
    // dialog closes or presses runs out (each press after the first follows a refusal).
    int execute(int mode, const std::function<void()> &act, int presses = 1)
    {
        QTimer::singleShot(0, &dialog, [this, act, presses] {
            act();
            for (int i = 0; i < presses && dialog.isVisible(); ++i)
                child<QPushButton>("btnOK")->click();
            if (dialog.isVisible())
                child<QPushButton>("btnCancel")->click();
        });
        return dialog.Execute(mode);
    }

    void setText(const char *name, const QString &text)
    {
        QLineEdit *edit = child<QLineEdit>(name);
        edit->clear();
        if (!text.isEmpty()) {
            edit->setFocus();
            QTest::keyClicks(edit, text);
        }
    }

    TGridExpOptForm dialog;
};

} // namespace

TEST_F(GridExpOptTest, GridModeWithTheClipboardNeedsNoFileName)
{
    const int result = execute(0, [this] {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Grid Export Options"));
        EXPECT_TRUE(child<QCheckBox>("chkClipboard")->isVisible());
        EXPECT_FALSE(child<QLineEdit>("edtServerDir")->isVisible());
        EXPECT_FALSE(child<QLineEdit>("edtProcName")->isVisible());
        EXPECT_TRUE(child<QLineEdit>("edtFileName")->isVisible());
        child<QCheckBox>("chkClipboard")->click();
        // The file name goes with its label and browse button.
        EXPECT_FALSE(child<QLineEdit>("edtFileName")->isVisible());
        EXPECT_FALSE(child<QPushButton>("btnBrowse")->isVisible());
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(dialog.ClipboardExport());
    EXPECT_EQ(dialog.Mode(), 0);
    EXPECT_EQ(dialog.ExportFormat(), 0);
    EXPECT_TRUE(dialog.ExportHeadings());
    EXPECT_EQ(dialog.ServerDir(), QString());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(GridExpOptTest, GridModeWithoutAFileNameStaysOpen)
{
    const int result = execute(0, [this] { setText("edtFileName", QString()); });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(messages, QStringList { QStringLiteral("You must specify an Export Filename.") });
}

TEST_F(GridExpOptTest, PlsqlModeChecksItsFieldsInOrder)
{
    struct Case {
        const char *file, *dir, *serverFile, *proc, *message;
    };
    const Case cases[] = {
        { "", "DIR", "f.txt", "P", "You must specify an Export Filename." },
        { "out.sql", "", "", "", "You must specify a Server-side Directory." },
        { "out.sql", "DIR", "", "", "You must specify a Server-side Filename." },
        { "out.sql", "DIR", "f.txt", "", "You must specify a Procedure Name." },
        // A name the generated code could not hold as it stands.
        { "out.sql", "DIR", "f.txt", "1abc", "The Procedure Name must begin with a letter and hold "
                                              "only letters, digits, \"_\", \"$\" and \"#\"." },
        { "out.sql", "DIR", "f.txt", "exp'x", "The Procedure Name must begin with a letter and hold "
                                              "only letters, digits, \"_\", \"$\" and \"#\"." },
    };
    for (const Case &c : cases) {
        messages.clear();
        const int result = execute(1, [&] {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("PL/SQL Export Options"));
            EXPECT_FALSE(child<QCheckBox>("chkClipboard")->isVisible());
            setText("edtFileName", QLatin1String(c.file));
            setText("edtServerDir", QLatin1String(c.dir));
            setText("edtServerFile", QLatin1String(c.serverFile));
            setText("edtProcName", QLatin1String(c.proc));
        });
        EXPECT_EQ(result, 2) << c.message;
        EXPECT_EQ(messages, QStringList { QLatin1String(c.message) });
    }
    messages.clear();
    const int result = execute(1, [this] {
        setText("edtProcName", QStringLiteral("Exp_Emp$1#"));
        setText("edtServerFile", QStringLiteral("emp.txt"));
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    EXPECT_EQ(dialog.Mode(), 1);
    EXPECT_EQ(dialog.ProcName(), QStringLiteral("Exp_Emp$1#"));
    EXPECT_EQ(dialog.ServerDir(), QStringLiteral("DIR"));
    EXPECT_EQ(dialog.ServerFile(), QStringLiteral("emp.txt"));
    EXPECT_EQ(dialog.FileName(), QStringLiteral("out.sql"));
}

TEST_F(GridExpOptTest, ProcedureNamesAreAtMostThirtyCharacters)
{
    execute(1, [this] { setText("edtProcName", QString(40, u'p')); });
    EXPECT_EQ(child<QLineEdit>("edtProcName")->text().size(), 30);
}

TEST_F(GridExpOptTest, CancelKeepsTheValuesForTheNextUse)
{
    const int result = execute(0, [this] {
        child<QRadioButton>("rbFormat1")->click();
        child<QCheckBox>("chkHeadings")->click();
        setText("edtFileName", QStringLiteral("kept.txt"));
        // Typing a delimiter chooses "Delimited by: ".
        setText("edtDelimiter", QStringLiteral(";"));
        EXPECT_TRUE(child<QRadioButton>("rbFormat3")->isChecked());
        child<QPushButton>("btnCancel")->click();
    }, 0);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(dialog.ExportFormat(), 3);
    EXPECT_EQ(dialog.Delimiter(), QStringLiteral(";"));
    EXPECT_FALSE(dialog.ExportHeadings());
    EXPECT_EQ(dialog.FileName(), QStringLiteral("kept.txt"));
    execute(0, [this] {
        EXPECT_EQ(child<QLineEdit>("edtFileName")->text(), QStringLiteral("kept.txt"));
        EXPECT_TRUE(child<QRadioButton>("rbFormat3")->isChecked());
        EXPECT_FALSE(child<QCheckBox>("chkHeadings")->isChecked());
    });
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}
