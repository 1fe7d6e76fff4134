// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ListingBrowser.h"

#include "app/ListingFiles.h"
#include "screens/ListingIcons.h"

#include <QDesktopServices>
#include <QImageReader>
#include <QScrollBar>
#include <QStyle>
#include <QScroller>
#include <QTextDocument>
#include <QTimer>

#include <cstdlib>

namespace tw {
namespace {

// What a refused resource resolves to. It must not be an empty QVariant:
// the document would then fetch the address itself (data: URLs, files
// relative to the working folder).
QVariant refused(int type)
{
    if (type == QTextDocument::ImageResource) {
        QImage nothing(1, 1, QImage::Format_ARGB32_Premultiplied);
        nothing.fill(Qt::transparent);
        return nothing;
    }
    return QString(QLatin1Char(' '));
}

} // namespace

bool openWithDesktop(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

ListingBrowser::ListingBrowser(std::filesystem::path mapFolder, QWidget* parent)
    : QTextBrowser(parent), m_mapFolder(std::move(mapFolder)), m_opener(openWithDesktop)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    QScroller::grabGesture(viewport(), QScroller::LeftMouseButtonGesture);
    connect(this, &QTextBrowser::anchorClicked, this, &ListingBrowser::onAnchorClicked);
}

void ListingBrowser::setPage(const QString& html)
{
    const int at = verticalScrollBar()->value();
    m_page = html;
    m_laidOutWidth = viewport()->width();
    setHtml(html);
    verticalScrollBar()->setValue(at);
}

void ListingBrowser::resizeEvent(QResizeEvent* event)
{
    QTextBrowser::resizeEvent(event);
    // Pictures were read to fit the old width; the cached ones go with the page.
    if (!m_page.isEmpty() && std::abs(viewport()->width() - m_laidOutWidth) > 8)
        QTimer::singleShot(0, this, [this] {
            if (std::abs(viewport()->width() - m_laidOutWidth) > 8)
                setPage(m_page);
        });
}

QVariant ListingBrowser::loadResource(int type, const QUrl& name)
{
    if (type != QTextDocument::ImageResource)
        return refused(type);
    // A saved web page names its pictures relative to itself.
    const QUrl url = name.isRelative() && !m_base.isEmpty() ? m_base.resolved(name) : name;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file")) {
        const QVariant image = localImage(url);
        return image.isValid() ? image : refused(type);
    }
    if (scheme == QLatin1String("resource")) {
        // "resource://2.bmp": the host holds the file name.
        QString file = name.host().isEmpty() ? name.path() : name.host();
        file.remove(QLatin1Char('/'));
        if (file.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) {
            bool ok = false;
            const int number = file.chopped(4).toInt(&ok);
            if (ok)
                return logTypeIcon(number, m_iconPx);
        }
        return refused(type);
    }
    if (scheme == QLatin1String("attribute")) {
        const QImage icon = attributeIcon(name.path(), m_attributePx);
        return icon.isNull() ? refused(type) : QVariant(icon);
    }
    return refused(type);
}

QVariant ListingBrowser::localImage(const QUrl& url) const
{
    const QString local = url.toLocalFile();
    if (local.isEmpty())
        return {};
    const std::filesystem::path path = local.toStdString();
    if (!listing::isOfflineFile(m_mapFolder, path))
        return {};
    QImageReader reader(local);
    reader.setAutoTransform(true);
    // Listing photos are often larger than the screen: read them to fit
    // the page's width, which also keeps a huge picture from filling memory.
    const QSize full = reader.size();
    // The room left once the vertical scroll bar has come: a picture that
    // fits only without it would bring up the horizontal one.
    const int bar = verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int room = std::max(64, viewport()->width() - bar - 2 * static_cast<int>(document()->documentMargin()) - 8);
    if (full.isValid() && full.width() > room)
        reader.setScaledSize(full.scaled(room, full.height() * room / full.width() + 1, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return image;
}

void ListingBrowser::onAnchorClicked(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty() && url.path().isEmpty() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty() && m_opener &&
        m_opener(url))
        return;
    emit linkRefused(url);
}

} // namespace tw
