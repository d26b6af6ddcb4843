#include "browsers/NavigatorImages.h"

#include <QDir>
#include <QIcon>
#include <QPixmap>

namespace qd {

const QString NavigatorImageFolder = QStringLiteral(":/navigator");

namespace {

TNavigatorImageList &processList()
{
    static TNavigatorImageList list;
    return list;
}

} // namespace

QImage TNavigatorImageList::Image(int index) const
{
    return index >= 0 && index < m_images.size() ? m_images.at(index) : QImage();
}

QString TNavigatorImageList::ImageName(int index) const
{
    return index >= 0 && index < m_names.size() ? m_names.at(index) : QString();
}

QIcon TNavigatorImageList::Icon(int index) const
{
    const QImage image = Image(index);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

int TNavigatorImageList::Add(const QString &folder, const QString &name)
{
    QImage image(QDir(folder).filePath(name + QStringLiteral(".png")));
    if (image.isNull())
        return -1;
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb white = qRgb(255, 255, 255);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & RGB_MASK) == (white & RGB_MASK))
                line[x] = qRgba(255, 255, 255, 0);
    }
    m_images.append(image);
    m_names.append(name);
    return static_cast<int>(m_images.size()) - 1;
}

void LoadNavigatorImages(const QString &folder)
{
    TNavigatorImageList list;
    list.Add(folder, QStringLiteral("DB"));
    for (int k = 0; k < OracleObjectKindCount; ++k) {
        const auto kind = static_cast<TQDOracleObjects>(k);
        const TOracleObjectKind &row = OracleObjectKinds(kind);
        const int image = list.Add(folder, row.DragWord);
        const int subImage = row.HasSubObjects ? list.Add(folder, row.SubDragWord) : -1;
        SetOracleObjectImageIndexes(kind, image < 0 ? 0 : image, subImage < 0 ? 0 : subImage);
    }
    processList() = list;
}

const TNavigatorImageList &NavigatorImages()
{
    return processList();
}

} // namespace qd
