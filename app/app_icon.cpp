// Icon 5, the application icon: a white phone handset on a green rounded square. Drawn
// with QPainter into premultiplied ARGB images, so every size is sharp and ours.
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstring>

#include "app/resources.h"

namespace {

// The sizes of the icon group, in pixels.
constexpr int kIconSizes[] = {16, 24, 32, 48, 256};

const QColor kBackground(0x2E, 0x9D, 0x4F);   // green, as phone apps colour calls
const QColor kHandset(Qt::white);

// The handset in a 100-unit box, y downwards: a thick arc bowing towards the lower left
// (the handle) with a pad at each end, the earpiece up left, the mouthpiece down right.
QPainterPath handsetPath()
{
    const QPointF centre(66.0, 34.0);
    const qreal handleRadius = 40.0;
    const qreal handleWidth = 15.0;

    QPainterPath handle;
    const QRectF outer(centre.x() - handleRadius - handleWidth / 2,
                       centre.y() - handleRadius - handleWidth / 2,
                       2 * (handleRadius + handleWidth / 2), 2 * (handleRadius + handleWidth / 2));
    const QRectF inner(centre.x() - handleRadius + handleWidth / 2,
                       centre.y() - handleRadius + handleWidth / 2,
                       2 * (handleRadius - handleWidth / 2), 2 * (handleRadius - handleWidth / 2));
    // Qt angles are counter-clockwise from three o'clock with y up: 180 is left, 270 down.
    handle.arcMoveTo(outer, 175.0);
    handle.arcTo(outer, 175.0, 100.0);
    handle.arcTo(inner, 275.0, -100.0);
    handle.closeSubpath();

    QPainterPath pads;
    // Each pad is a rounded bar across the end of the handle, reaching inwards.
    QTransform ear;
    ear.translate(centre.x() - handleRadius + 4.0, centre.y() - 2.0);
    ear.rotate(-5.0);
    pads.addRoundedRect(ear.mapRect(QRectF(-11.0, -13.0, 24.0, 22.0)), 7.0, 7.0);
    QTransform mouth;
    mouth.translate(centre.x() + 2.0, centre.y() + handleRadius - 4.0);
    mouth.rotate(5.0);
    pads.addRoundedRect(mouth.mapRect(QRectF(-13.0, -11.0, 22.0, 24.0)), 7.0, 7.0);

    return handle.united(pads);
}

IconImage drawIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 100.0, size / 100.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kBackground);
        painter.drawRoundedRect(QRectF(2.0, 2.0, 96.0, 96.0), 20.0, 20.0);
        painter.setBrush(kHandset);
        painter.translate(4.0, 4.0);
        painter.scale(0.92, 0.92);
        painter.drawPath(handsetPath());
    }
    IconImage result;
    result.size = size;
    result.argb.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        const uchar* line = image.constScanLine(y);
        std::memcpy(&result.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(size)],
                    line, static_cast<std::size_t>(size) * sizeof(std::uint32_t));
    }
    return result;
}

}  // namespace

IconTemplate buildApplicationIcon(int iconId)
{
    IconTemplate icon;
    icon.id = iconId;
    for (int size : kIconSizes)
        icon.images.push_back(drawIconImage(size));
    return icon;
}
