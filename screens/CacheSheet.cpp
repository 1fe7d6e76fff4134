// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheSheet.h"

#include "app/CGlobalData.h"
#include "app/CacheList.h"
#include "app/LiveJobs.h"
#include "db/SqlError.h"
#include "geo/GeoMath.h"
#include "platform/ConsoleJobProgress.h"
#include "platform/JobProgress.h"
#include "platform/Prompter.h"
#include "platform/Signals.h"
#include "platform/Text.h"
#include "screens/MapPicture.h"
#include "screens/PdfAstralText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>

#include <algorithm>
#include <cctype>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr int kTextNoSuchCache = 456;
constexpr int kTextWritten = 1347;
constexpr int kTextNotWritten = 1348;
constexpr int kTextCancelled = 1349;
constexpr int kTextNoneListed = 1351;

// The resolution of the PDF's coordinates, and the pixels per inch of its
// map: tiles are made for screens, and at this size their labels still read.
constexpr int kPdfDpi = 300;
constexpr int kMapDpi = 120;
constexpr double kMarginMm = 14;
constexpr double kHeaderMm = 9;  // the header line and the space below it
constexpr double kFooterMm = 8;
constexpr double kMapHeightMm = 62;
constexpr double kImageHeightMm = 75; // the tallest a listing image is set
constexpr double kShrinkToMm = 40;    // the least a picture is shrunk to, to stay on a page
// Waypoints further from the cache do not widen its map (a typo in a
// waypoint would shrink the cache to a dot).
constexpr double kMapReachKm = 3.0;

const QColor kInk(0x10, 0x10, 0x10);
const QColor kGrey(0x55, 0x55, 0x55);
const QColor kRule(0x99, 0x99, 0x99);
const QColor kHintBox(0xf2, 0xf2, 0xf2);

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Line breaks of the model as QTextLayout breaks lines.
QString lines(const std::string& text)
{
    QString out = q(text);
    out.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return out;
}

QFont font(double points, bool bold = false, bool italic = false)
{
    QFont f;
    f.setStyleHint(QFont::SansSerif);
    // Ligatures would reach the PDF's text as "ﬁ": a search for "find"
    // in the file would miss "Didn't find it".
    f.setStyleStrategy(QFont::PreferNoShaping);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Prompts that nobody is there to answer: a sheet without a map is still a sheet.
class QuietPrompter final : public Prompter {
public:
    void message(const std::string&, MessageIcon) override {}
    bool ask(const std::string&, bool defaultYes) override { return defaultYes; }
};

using PaintOp = std::function<void(QPainter&)>;

// Fills pages from the top down. Every item is placed whole on a page or,
// for a paragraph, line by line; what does not fit starts the next page.
class Flow {
public:
    Flow(QPaintDevice& device, QSizeF pageMm, std::vector<std::vector<PaintOp>>& pages, AstralText* astral)
        : m_device(device), m_dpi(device.logicalDpiY()), m_pages(pages), m_astral(astral)
    {
        m_left = mm(kMarginMm);
        m_width = mm(pageMm.width() - 2 * kMarginMm);
        m_top = mm(kMarginMm + kHeaderMm);
        m_bottom = mm(pageMm.height() - kMarginMm - kFooterMm);
        newPage();
    }

    double mm(double millimetres) const { return millimetres * m_dpi / 25.4; }
    double left() const { return m_left; }
    double width() const { return m_width; }
    double y() const { return m_y; }

    void newPage()
    {
        m_pages.emplace_back();
        m_y = m_top;
    }
    // Room for height below, else a new page (unless this one is still empty).
    void need(double height)
    {
        if (m_y + height > m_bottom && m_y > m_top)
            newPage();
    }
    void gap(double millimetres)
    {
        if (m_y > m_top)
            m_y = std::min(m_y + mm(millimetres), m_bottom);
    }
    // Moves down, past a picture placed by hand.
    void advance(double height) { m_y += height; }
    void add(PaintOp op) { m_pages.back().push_back(std::move(op)); }
    // f, able to draw every character of text into the file's text.
    QFont fontFor(const QString& text, const QFont& f) const { return m_astral ? m_astral->fontFor(text, f) : f; }

    // A paragraph of wrapped lines. keepMm: room the paragraph's first line
    // wants below it (a heading keeps the start of what follows).
    void paragraph(const QString& text, const QFont& f, QColor colour = kInk, double indentMm = 0,
                   const QList<QTextLayout::FormatRange>& formats = {}, double keepMm = 0)
    {
        if (text.trimmed().isEmpty())
            return;
        auto layout = std::make_shared<QTextLayout>(text, fontFor(text, f), &m_device);
        layout->setFormats(formats);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        const double indent = mm(indentMm);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine())
            line.setLineWidth(m_width - indent);
        layout->endLayout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            need(line.height() + (i == 0 ? mm(keepMm) : 0.0));
            const QPointF at(m_left + indent, m_y - line.y());
            add([layout, i, at, colour](QPainter& p) {
                p.setPen(colour);
                layout->lineAt(i).draw(&p, at);
            });
            m_y += line.height();
        }
    }

    void heading(const QString& text)
    {
        gap(4);
        paragraph(text, font(12.5, true), kInk, 0, {}, 14);
        const double y = m_y + mm(0.6);
        const double x = m_left, w = m_width;
        add([x, y, w](QPainter& p) {
            p.setPen(QPen(kRule, 0));
            p.drawLine(QPointF(x, y), QPointF(x + w, y));
        });
        m_y += mm(2);
    }

    // An image at most maxHeightMm tall, at its own size where it is small
    // (a smiley stays a smiley), with an optional caption kept beside it.
    void image(const QImage& picture, double maxHeightMm, const QString& caption = {})
    {
        if (picture.isNull())
            return;
        // Screen pixels, as the listing was made for them.
        QSizeF size(mm(picture.width() * 25.4 / 96.0), mm(picture.height() * 25.4 / 96.0));
        const double pageRoom = m_bottom - m_top - mm(10);
        size.scale(QSizeF(m_width, std::min(mm(maxHeightMm), pageRoom)).boundedTo(size), Qt::KeepAspectRatio);
        const double captionHeight = caption.isEmpty() ? 0 : QFontMetricsF(font(9, false, true), &m_device).height();
        // A picture a little too tall for the rest of the page is made to
        // fit rather than leave the page half empty.
        const double room = m_bottom - m_y - captionHeight - mm(1);
        if (size.height() > room && room >= mm(kShrinkToMm))
            size.scale(QSizeF(m_width, room), Qt::KeepAspectRatio);
        need(size.height() + captionHeight + mm(1));
        // No more pixels than a good print needs: a 12 MP photo stays out of the file.
        const QSize most(static_cast<int>(size.width() * 200 / m_dpi) + 1, static_cast<int>(size.height() * 200 / m_dpi) + 1);
        const QImage shown = picture.width() > most.width() * 1.5
                                 ? picture.scaled(most, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                 : picture;
        const QRectF at(m_left, m_y, size.width(), size.height());
        add([shown, at](QPainter& p) { p.drawImage(at, shown); });
        m_y += size.height() + mm(1);
        if (!caption.isEmpty())
            paragraph(caption, font(9, false, true), kGrey);
    }

private:
    QPaintDevice& m_device;
    double m_dpi;
    std::vector<std::vector<PaintOp>>& m_pages;
    AstralText* m_astral;
    double m_left = 0, m_width = 0, m_top = 0, m_bottom = 0, m_y = 0;
};

QTextLayout::FormatRange boldRange(int start, int length)
{
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    return {start, length, bold};
}

// "Label: text" with the label in bold.
void labelled(Flow& flow, const std::string& label, const std::string& text, double points, double indentMm = 0)
{
    const QString head = q(label) + QStringLiteral(": ");
    flow.paragraph(head + lines(text), font(points), kInk, indentMm, {boldRange(0, static_cast<int>(head.size()))});
}

void paintMap(QPainter& p, const SheetMap& map, const QRectF& at, double px)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(at, map.image);
    const double sx = at.width() / map.image.width();
    const double sy = at.height() / map.image.height();
    QFont label = font(8, true);
    p.setFont(label);
    const QFontMetricsF metrics(label, p.device());
    // Waypoints first: the cache's own mark stays on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (const SheetMap::Mark& mark : map.marks) {
            if (mark.cache != (pass == 1))
                continue;
            const QPointF c(at.left() + mark.at.x() * sx, at.top() + mark.at.y() * sy);
            if (!at.contains(c))
                continue;
            const double r = px * (mark.cache ? 2.2 : 1.5);
            p.setPen(QPen(Qt::white, px * 0.5));
            p.setBrush(mark.cache ? QColor(0xc6, 0x28, 0x28) : QColor(0x15, 0x65, 0xc0));
            if (mark.cache)
                p.drawEllipse(c, r, r);
            else
                p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
            // The label on a white ground beside the mark, inside the map.
            const QRectF box = metrics.boundingRect(mark.label).adjusted(-px * 0.5, 0, px * 0.5, 0);
            QPointF corner(c.x() + r + px * 0.6, c.y() - box.height() / 2);
            corner.setX(std::min(corner.x(), at.right() - box.width()));
            const QRectF where(corner, box.size());
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 220));
            p.drawRect(where);
            p.setPen(kInk);
            p.drawText(where, Qt::AlignCenter, mark.label);
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRule, 0));
    p.drawRect(at);
    p.restore();
}

} // namespace

QPageSize sheetPageSize(int setting)
{
    if (setting == 1)
        return QPageSize(QPageSize::A4);
    if (setting == 2)
        return QPageSize(QPageSize::Letter);
    const QLocale locale;
    const bool letter = locale.territory() == QLocale::UnitedStates || locale.territory() == QLocale::Canada ||
                        locale.measurementSystem() == QLocale::ImperialUSSystem;
    return QPageSize(letter ? QPageSize::Letter : QPageSize::A4);
}

SheetMap sheetMapOf(MapSnapshot& map, const sheet::Content& content, QSize sizePx)
{
    SheetMap out;
    if (!map.ok() || content.coords.empty())
        return out;
    std::vector<geo::LatLon> points{content.at};
    for (const sheet::Waypoint& w : content.waypoints)
        if (w.at && geo::distanceKm(content.at, *w.at) <= kMapReachKm)
            points.push_back(*w.at);
    double south = content.at.lat, north = south, west = content.at.lon, east = west;
    for (const geo::LatLon& p : points) {
        south = std::min(south, p.lat);
        north = std::max(north, p.lat);
        west = std::min(west, p.lon);
        east = std::max(east, p.lon);
    }
    const geo::LatLon centre{(south + north) / 2, (west + east) / 2};
    // A cache alone is shown with the streets around it, not its doorstep.
    const int zoom = map.zoomToFit(centre, points, sizePx, 30, 16);
    if (!map.compose(centre, zoom, sizePx))
        return out;
    out.image = map.image().copy();
    out.marks.push_back({map.pixelOf(content.at), q(content.code), true});
    for (const sheet::Waypoint& w : content.waypoints)
        if (w.at)
            out.marks.push_back({map.pixelOf(*w.at), q(w.prefix), false});
    return out;
}

struct CacheSheet::Layout {
    std::vector<std::vector<PaintOp>> pages;
};

QSize CacheSheet::mapSizePx(QSizeF pageSizeMm, int dpi)
{
    const double widthMm = pageSizeMm.width() - 2 * kMarginMm;
    return {static_cast<int>(widthMm * dpi / 25.4), static_cast<int>(kMapHeightMm * dpi / 25.4)};
}

CacheSheet::CacheSheet(const sheet::Content& c, const SheetMap& map, QPaintDevice& device, QSizeF pageMm,
                       AstralText* astral)
    : m_layout(std::make_unique<Layout>())
{
    Flow flow(device, pageMm, m_layout->pages, astral);
    const sheet::Labels& labels = c.labels;

    // What one needs at the place first: name, facts, where.
    flow.paragraph(q(c.name), font(17, true));
    const QString code = q(c.code);
    flow.paragraph(code + QStringLiteral(" · ") + q(c.facts), font(10.5), kInk, 0,
                   {boldRange(0, static_cast<int>(code.size()))});
    flow.paragraph(q(c.owner), font(9), kGrey);
    if (!c.coords.empty()) {
        flow.gap(1.5);
        flow.paragraph(q(c.coords), font(15, true));
    }
    if (!c.waypoints.empty()) {
        flow.heading(q(labels.waypoints));
        for (const sheet::Waypoint& w : c.waypoints) {
            const QString head = q(w.prefix);
            flow.paragraph(head + QStringLiteral("  ") + q(w.type) + QStringLiteral(": ") + q(w.name), font(10), kInk,
                           0, {boldRange(0, static_cast<int>(head.size()))}, 5);
            if (!w.coords.empty())
                flow.paragraph(q(w.coords), font(10.5, true), kInk, 6);
            flow.paragraph(lines(w.note), font(9), kGrey, 6);
            flow.gap(1.2);
        }
    }
    if (!c.hint.empty()) {
        flow.heading(q(labels.hint));
        labelled(flow, labels.hint, c.hint, 10.5);
        flow.gap(1);
        labelled(flow, labels.rot13, c.hintRot13, 10.5);
    }
    if (!map.image.isNull()) {
        flow.gap(4);
        const double height = flow.mm(kMapHeightMm);
        flow.need(height);
        const QRectF at(flow.left(), flow.y(), flow.width(), height);
        const double px = flow.mm(1);
        // Shares the picture, so a sheet can be laid out before painting.
        flow.add([map, at, px](QPainter& p) { paintMap(p, map, at, px); });
        flow.advance(height + flow.mm(1));
    }
    if (!c.description.empty()) {
        flow.heading(q(labels.description));
        for (const sheet::Piece& piece : c.description) {
            switch (piece.kind) {
            case TextBlock::Kind::Heading:
                flow.gap(2);
                flow.paragraph(q(piece.text), font(11, true), kInk, 0, {}, 8);
                break;
            case TextBlock::Kind::ListItem:
                flow.paragraph(QStringLiteral("•  ") + q(piece.text), font(10), kInk, 3);
                break;
            case TextBlock::Kind::Image:
                flow.gap(1);
                flow.image(QImage(q(piece.image.string())), kImageHeightMm);
                break;
            case TextBlock::Kind::Paragraph:
                flow.paragraph(q(piece.text), font(10));
                break;
            }
            flow.gap(1.2);
        }
    }
    if (!c.pictures.empty()) {
        flow.heading(q(labels.images));
        for (const sheet::Picture& picture : c.pictures) {
            flow.image(QImage(q(picture.file.string())), kImageHeightMm * 0.8, q(picture.caption));
            flow.gap(2);
        }
    }
    if (!c.note.empty()) {
        flow.heading(q(labels.note));
        flow.paragraph(lines(c.note), font(10));
    }
    if (!c.logs.empty()) {
        flow.heading(q(labels.logs));
        for (const sheet::Log& log : c.logs) {
            flow.paragraph(q(log.heading), font(9.5, true), kInk, 0, {}, 4);
            flow.paragraph(lines(log.text), font(9.5));
            flow.gap(2);
        }
    }

    // The header and the page number on every page, now that their count is known.
    const int count = static_cast<int>(m_layout->pages.size());
    const double left = flow.left(), width = flow.width();
    const double headerY = flow.mm(kMarginMm), footerY = flow.mm(pageMm.height() - kMarginMm - 4);
    const double ruleY = flow.mm(kMarginMm + kHeaderMm - 3);
    const QString header = code + QStringLiteral("  ") + q(c.name);
    const QFont headerFont = flow.fontFor(header, font(8.5, true));
    for (int page = 0; page < count; ++page) {
        const QString number = q(text::fillIn(labels.page, {std::to_string(page + 1), std::to_string(count)}));
        m_layout->pages[static_cast<std::size_t>(page)].push_back(
            [=](QPainter& p) {
                p.setFont(headerFont);
                p.setPen(kGrey);
                const QFontMetricsF metrics(p.font(), p.device());
                const QRectF top(left, headerY, width, metrics.height());
                p.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(header, Qt::ElideRight, width));
                p.setPen(QPen(kRule, 0));
                p.drawLine(QPointF(left, ruleY), QPointF(left + width, ruleY));
                p.setFont(font(8));
                p.setPen(kGrey);
                p.drawText(QRectF(left, footerY, width, metrics.height()), Qt::AlignHCenter | Qt::AlignVCenter, number);
            });
    }
}

CacheSheet::~CacheSheet() = default;

int CacheSheet::pageCount() const
{
    return static_cast<int>(m_layout->pages.size());
}

void CacheSheet::paintPage(QPainter& painter, int page) const
{
    if (page < 0 || page >= pageCount())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const PaintOp& op : m_layout->pages[static_cast<std::size_t>(page)])
        op(painter);
    painter.restore();
}

SheetSummary writeCacheSheets(CGlobalData& global, const std::vector<std::string>& codes, const fs::path& file,
                              JobProgress* progress, const std::atomic<bool>* cancel)
{
    SheetSummary summary;
    auto finish = [&] {
        if (progress)
            progress->finish(sheetCompletionText(global, summary, file));
        return summary;
    };
    QSaveFile out(q(file.string()));
    if (!out.open(QIODevice::WriteOnly)) {
        summary.error = out.errorString().toStdString();
        return finish();
    }
    const QPageSize paper = sheetPageSize(global.settings.sheetPaper);
    const QSizeF pageMm = paper.size(QPageSize::Millimeter);
    // The fonts outlive the writer, which embeds them as it ends.
    AstralText astral;
    TailCopy device(out);
    QPdfWriter pdf(&device);
    pdf.setPageSize(paper);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(kPdfDpi);
    pdf.setCreator(QStringLiteral("Tarnwick"));
    pdf.setTitle(codes.size() == 1 ? q(codes.front()) : QStringLiteral("Tarnwick"));
    QPainter painter;
    if (!painter.begin(&pdf)) {
        out.cancelWriting();
        summary.error = out.errorString().toStdString();
        return finish();
    }
    QuietPrompter quiet;
    std::unique_ptr<MapSnapshot> map;
    if (progress)
        progress->setRange(static_cast<int>(codes.size()));
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (cancel && cancel->load()) {
            summary.cancelled = true;
            break;
        }
        if (progress) {
            progress->setPosition(static_cast<int>(i));
            progress->setText(1, codes[i]);
        }
        std::optional<sheet::Content> content;
        try {
            content = sheet::loadContent(global, codes[i]);
        } catch (const SQLite::Error& e) {
            summary.error = e.message;
            break;
        }
        if (!content)
            continue;
        if (progress)
            progress->setText(2, content->name);
        // Opened at the first cache: a vector source opens the map file that holds it.
        if (!map && !content->coords.empty())
            map = std::make_unique<MapSnapshot>(global, std::string(), quiet, content->at);
        const SheetMap sheetMap = map ? sheetMapOf(*map, *content, CacheSheet::mapSizePx(pageMm, kMapDpi)) : SheetMap{};
        const CacheSheet laidOut(*content, sheetMap, pdf, pageMm, &astral);
        for (int page = 0; page < laidOut.pageCount(); ++page) {
            if ((summary.sheets > 0 || page > 0) && !pdf.newPage()) {
                summary.error = out.errorString().toStdString();
                break;
            }
            laidOut.paintPage(painter, page);
        }
        ++summary.sheets;
        if (!sheetMap.image.isNull())
            ++summary.maps;
    }
    device.keep(); // what follows holds the fonts and their text maps
    painter.end();
    if (const QByteArray update = astral.update(device.kept(), device.written());
        !update.isEmpty() && summary.error.empty() && device.write(update) != update.size())
        summary.error = out.errorString().toStdString();
    if (summary.error.empty() && !summary.cancelled && summary.sheets == 0)
        summary.error = global.lang.textOr(kTextNoneListed, "There is no cache to print; no sheet was written.");
    if (!summary.error.empty() || summary.cancelled) {
        out.cancelWriting();
        summary.sheets = summary.maps = 0;
    } else if (!out.commit()) {
        summary.error = out.errorString().toStdString();
        summary.sheets = summary.maps = 0;
    } else {
        summary.written = true;
    }
    if (progress)
        progress->setPosition(static_cast<int>(codes.size()));
    return finish();
}

std::string sheetCompletionText(const CGlobalData& global, const SheetSummary& summary, const fs::path& file)
{
    if (summary.written)
        return text::fillIn(global.lang.textOr(kTextWritten, "Cache sheets written: %s, into %s."),
                            {std::to_string(summary.sheets), file.string()});
    if (summary.cancelled)
        return global.lang.textOr(kTextCancelled, "Cancelled; no file was written.");
    return text::fillIn(global.lang.textOr(kTextNotWritten, "The cache sheets could not be written to %s: %s"),
                        {file.string(), summary.error});
}

bool writeSheetsInBatch(CGlobalData& global, const std::string& which, const std::string& file, std::FILE* err)
{
    std::vector<std::string> codes;
    if (which == "all") {
        global.list.loadFilter();
        if (!global.list.readCaches(CacheList::kEveryRow))
            return false;
        codes = listedCodes(global);
    } else {
        std::string code = which;
        std::transform(code.begin(), code.end(), code.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
        bool known = false;
        try {
            known = sheet::loadContent(global, code).has_value();
        } catch (const SQLite::Error& e) {
            std::fprintf(err, "tarnwick: %s\n", e.message.c_str());
            return false;
        }
        if (!known) {
            std::fprintf(err, "tarnwick: %s\n",
                         text::fillIn(global.lang.textOr(kTextNoSuchCache, "The cache %s is not in the database."),
                                      {code})
                             .c_str());
            return false;
        }
        codes.push_back(code);
    }
    ConsoleJobProgress progress({});
    return writeCacheSheets(global, codes, file, &progress, &terminationFlag()).written;
}

} // namespace tw
