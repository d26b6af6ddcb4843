#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace qd {

class TUrlLabel;

// The about box: product name, version, release dates and a link to the product's web site.
class TKXAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TKXAboutForm(QWidget *parent = nullptr);

    static QString WebAddress();

    TUrlLabel *UrlLabel() const { return m_urlLabel; }

private:
    TUrlLabel *m_urlLabel = nullptr;
};

} // namespace qd
