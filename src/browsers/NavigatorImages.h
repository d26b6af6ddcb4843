#pragma once

// The one image list every navigator tree of the process shows its nodes with: image 0 is
// "DB" (owners, categories and every node without an image of its own), then one image per
// kind and sub-object kind, in the kinds' order. Loaded once while the program starts, before
// any tree exists; read-only afterwards.

#include "browsers/OracleObjectKinds.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QIcon;

namespace qd {

class TNavigatorImageList {
public:
    int Count() const { return static_cast<int>(m_images.size()); }
    // White pixels are transparent. An index out of range gives a null image.
    QImage Image(int index) const;
    // The resource name the image was loaded from ("DB", "TABLE", ...).
    QString ImageName(int index) const;
    // For views on the GUI thread.
    QIcon Icon(int index) const;

    // Loads folder/<name>.png with white as the transparent colour and appends it; -1 when
    // the file is missing or no image, which then takes no index.
    int Add(const QString &folder, const QString &name);

private:
    QList<QImage> m_images;
    QStringList m_names;
};

// Where the images built into the program live.
extern const QString NavigatorImageFolder;

// Builds the process's list from folder and writes every kind's ImageIndex and SubImageIndex;
// a missing image leaves its indexes at 0 (the "DB" image) and takes no index. Every kind
// loads its own copy, so the three kinds named "TABLE" have three table images.
void LoadNavigatorImages(const QString &folder = NavigatorImageFolder);

// The process's list (empty until loaded).
const TNavigatorImageList &NavigatorImages();

} // namespace qd
