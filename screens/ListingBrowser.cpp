// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ListingBrowser.h"

#include "app/ListingFiles.h"
#include "screens/ListingColours.h"
#include "screens/ListingIcons.h"
#include "screens/Theme.h"

#include <QDesktopServices>
#include <QEvent>
#include <QImageReader>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QScroller>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

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

namespace {

bool isVoidElement(const QString& name)
{
    static const QStringList kVoid{QStringLiteral("area"),  QStringLiteral("base"),  QStringLiteral("br"),
                                   QStringLiteral("col"),   QStringLiteral("embed"), QStringLiteral("hr"),
                                   QStringLiteral("img"),   QStringLiteral("input"), QStringLiteral("link"),
                                   QStringLiteral("meta"),  QStringLiteral("param"), QStringLiteral("source"),
                                   QStringLiteral("track"), QStringLiteral("wbr")};
    return kVoid.contains(name);
}

constexpr std::ptrdiff_t kEndTagReach = 64;

bool endsAtSibling(const QString& name)
{
    static const QStringList kSiblings{QStringLiteral("p"),  QStringLiteral("li"), QStringLiteral("dt"),
                                       QStringLiteral("dd"), QStringLiteral("tr"), QStringLiteral("td"),
                                       QStringLiteral("th"), QStringLiteral("option")};
    return kSiblings.contains(name);
}

// The end of the tag that starts at from ('<'), quoted attribute values
// skipped; -1 when the tag never ends.
qsizetype tagEnd(const QString& html, qsizetype from)
{
    QChar quote;
    for (qsizetype i = from + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('>')) {
            return i;
        }
    }
    return -1;
}

} // namespace

QString limitNesting(const QString& html, int maxDepth)
{
    struct Open {
        QString name;
        bool kept;
    };
    std::vector<Open> open;
    int kept = 0;
    QString out;
    out.reserve(html.size());
    qsizetype i = 0;
    while (i < html.size()) {
        const qsizetype lt = html.indexOf(QLatin1Char('<'), i);
        if (lt < 0) {
            out += QStringView(html).mid(i);
            break;
        }
        out += QStringView(html).mid(i, lt - i);
        if (QStringView(html).mid(lt, 4) == QLatin1String("<!--")) {
            const qsizetype close = html.indexOf(QLatin1String("-->"), lt + 4);
            const qsizetype next = close < 0 ? html.size() : close + 3;
            out += QStringView(html).mid(lt, next - lt);
            i = next;
            continue;
        }
        const qsizetype gt = tagEnd(html, lt);
        if (gt < 0) {
            out += QStringView(html).mid(lt);
            break;
        }
        const QStringView tag = QStringView(html).mid(lt + 1, gt - lt - 1);
        i = gt + 1;
        const bool end = tag.startsWith(QLatin1Char('/'));
        const QStringView body = end ? tag.mid(1) : tag;
        qsizetype n = 0;
        while (n < body.size() && (body[n].isLetterOrNumber() || body[n] == QLatin1Char('-') || body[n] == QLatin1Char(':')))
            ++n;
        const QString name = body.left(n).toString().toLower();
        const QStringView whole = QStringView(html).mid(lt, gt - lt + 1);
        if (name.isEmpty() || (!end && (isVoidElement(name) || tag.endsWith(QLatin1Char('/'))))) {
            out += whole; // a declaration, or an element without content
            continue;
        }
        if (!end) {
            // <p>, <li> and their like end where the next one starts:
            // sloppy listings leave thousands open.
            if (!open.empty() && open.back().name == name && endsAtSibling(name)) {
                kept -= open.back().kept ? 1 : 0;
                open.pop_back();
            }
            const bool keep = kept < maxDepth;
            open.push_back({name, keep});
            if (keep) {
                ++kept;
                out += whole;
            }
            continue;
        }
        // An end tag closes the nearest open element of its name, and the
        // unclosed ones inside it; an end tag that closes nothing near the
        // top stays as it is (looking further would make a hostile page cost
        // the square of its length).
        const auto searched = open.rbegin() + std::min<std::ptrdiff_t>(kEndTagReach, std::ssize(open));
        auto match = std::find_if(open.rbegin(), searched, [&](const Open& o) { return o.name == name; });
        if (match == searched) {
            out += whole;
            continue;
        }
        const bool keep = match->kept;
        for (auto it = open.rbegin(); it != std::next(match); ++it)
            kept -= it->kept ? 1 : 0;
        open.erase(std::next(match).base(), open.end());
        if (keep)
            out += whole;
    }
    return out;
}

void ListingBrowser::setPage(const QString& html)
{
    const int at = verticalScrollBar()->value();
    m_page = limitNesting(html);
    m_laidOutWidth = viewport()->width();
    setHtml(m_page);
    fitListingColours(*document(), palette());
    verticalScrollBar()->setValue(at);
}

void ListingBrowser::changeEvent(QEvent* event)
{
    QTextBrowser::changeEvent(event);
    // Another theme: the page is read again and fitted to it.
    if (event->type() == QEvent::PaletteChange && !m_page.isEmpty())
        setPage(m_page);
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
    QImage image = reader.read();
    if (image.isNull())
        return {};
    // A bright photo in the dark would undo the night theme.
    if (isDarkPalette(palette())) {
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
        QPainter dim(&image);
        dim.fillRect(image.rect(), QColor::fromRgbF(0, 0, 0, kNightImageShade));
    }
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
