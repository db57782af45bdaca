// The program icon, read from its images only when a size is asked for.
#include "Oprog.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <array>
#include <cstdint>
#include <map>

namespace {

#include "ProgramIconPixels.inc"

struct ReadyPixels {
    int side;
    const uint32_t *pixels;
};

// The sizes offered to window systems, ready to use: a window's icon is set
// before it appears, and decoding them from PNG was a tenth of the start-up.
constexpr std::array<ReadyPixels, 5> kReadyPixels = {
    {{16, kIconPixels16}, {24, kIconPixels24}, {32, kIconPixels32}, {48, kIconPixels48}, {64, kIconPixels64}}};

constexpr std::array<int, 7> kImageSizes = {16, 24, 32, 48, 64, 128, 256};

class ProgramIconEngine final : public QIconEngine {
public:
    // What a window system is offered for title bars and task bars. The X11
    // window icon carries every offered size, decoded and sent before the
    // window appears: 128 and 256 would be nine tenths of it. Desktops take
    // large icons from the installed theme; any size is still drawn on request.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min({size.width(), size.height(), kImageSizes.back()});
        return QSize(side, side);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const QSize wanted = actualSize(size, mode, QIcon::Off);
        if (wanted.isEmpty())
            return {};
        QPixmap shown = image(wanted.width());
        if (shown.size() != wanted)
            shown = shown.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode != QIcon::Normal && qobject_cast<QApplication *>(QCoreApplication::instance())) {
            QStyleOption option;
            option.palette = QApplication::palette();
            return QApplication::style()->generatedIconPixmap(mode, shown, &option);
        }
        return shown;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap shown = pixmap(rect.size(), mode, state);
        painter->drawPixmap(QRect(rect.topLeft() + QPoint((rect.width() - shown.width()) / 2,
                                                          (rect.height() - shown.height()) / 2),
                                  shown.size()),
                            shown);
    }

    QIconEngine *clone() const override { return new ProgramIconEngine(*this); }
    QString key() const override { return QStringLiteral("qz5801-program"); }

private:
    // The smallest image at least `side` wide (the largest when none is): the
    // ready pixels made a pixmap each time (nothing kept for sizes asked for
    // once, at a window's creation), a PNG decoded once.
    QPixmap image(int side)
    {
        int chosen = kImageSizes.back();
        for (int s : kImageSizes) {
            if (s >= side) {
                chosen = s;
                break;
            }
        }
        const QImage ready = programIconPixels(chosen);
        if (!ready.isNull())
            return QPixmap::fromImage(ready);
        auto found = decoded.find(chosen);
        if (found == decoded.end())
            found = decoded.emplace(chosen, QPixmap(QStringLiteral(":/icons/qz5801-%1.png").arg(chosen), "PNG")).first;
        return found->second;
    }

    std::map<int, QPixmap> decoded;
};

} // namespace

QImage programIconPixels(int side)
{
    for (const ReadyPixels &ready : kReadyPixels) {
        if (ready.side == side)
            return QImage(reinterpret_cast<const uchar *>(ready.pixels), side, side, QImage::Format_ARGB32);
    }
    return {};
}

QIcon programIcon()
{
    // One engine, so the application and the About window share what it
    // decoded. Never destroyed, so no pixmap outlives the application object.
    static const QIcon *const icon = new QIcon(new ProgramIconEngine);
    return *icon;
}
