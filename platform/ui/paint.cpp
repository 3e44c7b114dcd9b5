// Icons from the registered icon resources, the window icon (WM_SETICON), painting on
// a window's client area (CPaintDC, DrawIcon) and the system metrics the program reads.
#include <cstring>
#include <map>

#include <QIcon>
#include <QImage>
#include <QPainter>

#include "platform/ui/peer.h"

namespace {
constexpr int kSystemIconSize = 32;   // SM_CXICON / SM_CYICON: the standard icon size
}

HICON LoadIconResource(int iconId)
{
    static std::map<int, HICON__> handles;   // one handle per resource, never destroyed
    const IconTemplate* icon = FindIconResource(iconId);
    if (icon == nullptr)
        return nullptr;
    HICON__& handle = handles[iconId];
    handle.icon = icon;
    return &handle;
}

// The image of exactly `image.size` pixels, or a null image when its pixel count is off.
static QImage ImageOf(const IconImage& image)
{
    const size_t pixels = static_cast<size_t>(image.size) * static_cast<size_t>(image.size);
    if (image.size <= 0 || image.argb.size() != pixels)
        return QImage();
    QImage result(image.size, image.size, QImage::Format_ARGB32_Premultiplied);
    for (int row = 0; row < image.size; ++row)
        std::memcpy(result.scanLine(row), image.argb.data() + static_cast<size_t>(row) * image.size,
                    static_cast<size_t>(image.size) * sizeof(std::uint32_t));
    return result;
}

QImage IconToImage(HICON icon, int size)
{
    if (icon == nullptr || icon->icon == nullptr || icon->icon->images.empty())
        return QImage();
    // The smallest image at least `size` pixels square, else the largest.
    const IconImage* best = nullptr;
    for (const IconImage& image : icon->icon->images) {
        if (image.size >= size && (best == nullptr || image.size < best->size))
            best = &image;
    }
    for (const IconImage& image : icon->icon->images) {
        if (best == nullptr || (best->size < size && image.size > best->size))
            best = &image;
    }
    QImage image = ImageOf(*best);
    if (!image.isNull() && image.width() != size)
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

void ApplyWindowIcon(CWnd& wnd)
{
    auto* peer = static_cast<QWidget*>(wnd.PeerWidget());
    if (peer == nullptr || !peer->isWindow())
        return;
    QIcon windowIcon;
    for (HICON icon : { wnd.GetIcon(TRUE), wnd.GetIcon(FALSE) }) {
        if (icon == nullptr || icon->icon == nullptr)
            continue;
        for (const IconImage& image : icon->icon->images) {
            QImage pixels = ImageOf(image);
            if (!pixels.isNull())
                windowIcon.addPixmap(QPixmap::fromImage(pixels));
        }
    }
    peer->setWindowIcon(windowIcon);
}

// The device context is a QPainter on the client area, open only while the window
// paints (inside WM_PAINT from the peer); elsewhere it has no surface and draws nothing.
CPaintDC::CPaintDC(CWnd* wnd) : m_wnd(wnd)
{
    if (wnd == nullptr || !WndAccess::Of(*wnd).painting)
        return;
    QWidget* area = WndAccess::Of(*wnd).client.data();
    if (area != nullptr)
        m_hDC = reinterpret_cast<HDC>(new QPainter(area));
}

CPaintDC::~CPaintDC()
{
    delete reinterpret_cast<QPainter*>(m_hDC);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon)
{
    auto* painter = reinterpret_cast<QPainter*>(m_hDC);
    const QImage image = IconToImage(icon, kSystemIconSize);
    if (painter == nullptr || image.isNull())
        return FALSE;
    painter->drawImage(x, y, image);
    return TRUE;
}

int GetSystemMetrics(int index)
{
    return index == SM_CXICON || index == SM_CYICON ? kSystemIconSize : 0;
}
