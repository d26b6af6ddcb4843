#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qd {

class TMILAssociate;
class TSettings;

// Offers the file types that are not yet associated with the program; OK associates the
// checked ones, and "Do not display this dialog again" turns the start-up offer off.
class TFileAssociate : public QDialog {
    Q_OBJECT

public:
    TFileAssociate(TMILAssociate &associate, TSettings &settings, QWidget *parent = nullptr);

    // extensions and descriptions are index-aligned ("SQL", "SQL file").
    int Show(const QStringList &extensions, const QStringList &descriptions);
    // The lists without showing the dialog (Show fills them this way too).
    void Fill(const QStringList &extensions, const QStringList &descriptions);

    // OK: associates each checked type; a failure is shown and the others still go on.
    void btnOKClick();

    QLabel *lblPrompt = nullptr;
    QListWidget *clbExt = nullptr;
    QCheckBox *chkDoNotDisplay = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    static QStringList Extensions();
    static QStringList Descriptions();

private:
    TMILAssociate &m_associate;
    TSettings &m_settings;
    QStringList m_extensions;
    QStringList m_descriptions;
};

} // namespace qd
