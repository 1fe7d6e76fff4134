// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ListingColours.h"

#include "screens/Theme.h"

#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cmath>
#include <optional>
#include <vector>

namespace tw {
namespace {

// Grounds of at least this luminance are too light for a dark theme.
constexpr double kLightGround = 0.06;
// The lightness a light ground is given on a dark theme, and how much of
// its colourfulness stays.
constexpr double kDarkGroundLightness = 0.10;
constexpr double kDarkGroundSaturation = 0.6;

std::optional<QColor> ownColour(const QBrush& brush)
{
    if (brush.style() == Qt::NoBrush)
        return std::nullopt;
    return brush.color();
}

class Fitter {
public:
    Fitter(QTextDocument& document, const QPalette& palette)
        : m_document(document), m_base(palette.color(QPalette::Base)), m_text(palette.color(QPalette::Text)),
          m_dark(isDarkPalette(palette))
    {
    }

    void run()
    {
        if (m_dark) {
            fitFrame(m_document.rootFrame());
            fitBlockGrounds();
        }
        fitTexts();
    }

private:
    // A ground as the theme shows it: on a dark theme light ones go dark.
    std::optional<QColor> fittedGround(const QBrush& brush) const
    {
        const auto c = ownColour(brush);
        if (!c || !m_dark || luminance(*c) < kLightGround)
            return std::nullopt;
        return QColor::fromHslF(std::max(0.0f, c->hslHueF()), c->hslSaturationF() * kDarkGroundSaturation,
                                kDarkGroundLightness);
    }

    void fitFrame(QTextFrame* frame)
    {
        QTextFrameFormat ff = frame->frameFormat();
        if (const auto ground = fittedGround(ff.background())) {
            ff.setBackground(*ground);
            frame->setFrameFormat(ff);
        }
        if (auto* table = qobject_cast<QTextTable*>(frame))
            for (int r = 0; r < table->rows(); ++r)
                for (int c = 0; c < table->columns(); ++c) {
                    QTextTableCell cell = table->cellAt(r, c);
                    // A spanning cell is met once, at its first row and column.
                    if (cell.row() != r || cell.column() != c)
                        continue;
                    QTextCharFormat cf = cell.format();
                    if (const auto ground = fittedGround(cf.background())) {
                        cf.setBackground(*ground);
                        cell.setFormat(cf);
                    }
                }
        for (QTextFrame* child : frame->childFrames())
            fitFrame(child);
    }

    void fitBlockGrounds()
    {
        struct Edit {
            int position;
            int length;
            QTextCharFormat format;
        };
        std::vector<Edit> chars;
        for (QTextBlock b = m_document.begin(); b.isValid(); b = b.next()) {
            QTextBlockFormat bf = b.blockFormat();
            if (const auto ground = fittedGround(bf.background())) {
                bf.setBackground(*ground);
                QTextCursor(b).setBlockFormat(bf);
            }
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                QTextCharFormat cf = f.charFormat();
                if (const auto ground = fittedGround(cf.background())) {
                    cf.setBackground(*ground);
                    chars.push_back({f.position(), f.length(), cf});
                }
            }
        }
        apply(chars);
    }

    // The ground a text at a position lies on: its own, its paragraph's,
    // its cell's, its frames', else the page's.
    QColor groundAt(const QTextCharFormat& cf, const QTextBlock& block, int position) const
    {
        if (const auto c = ownColour(cf.background()))
            return *c;
        if (const auto c = ownColour(block.blockFormat().background()))
            return *c;
        QTextCursor at(&m_document);
        at.setPosition(position);
        for (QTextFrame* frame = at.currentFrame(); frame; frame = frame->parentFrame()) {
            if (auto* table = qobject_cast<QTextTable*>(frame)) {
                const QTextTableCell cell = table->cellAt(position);
                if (cell.isValid())
                    if (const auto c = ownColour(cell.format().background()))
                        return *c;
            }
            if (const auto c = ownColour(frame->frameFormat().background()))
                return *c;
        }
        return m_base;
    }

    // On a dark theme no text shines brighter than the theme's own.
    QColor dimmed(const QColor& c) const
    {
        const double most = luminance(m_text);
        const double own = luminance(c);
        if (!m_dark || own <= most * 1.3)
            return c;
        const double v = c.valueF() * std::pow(most / own, 1 / 2.2);
        return QColor::fromHsvF(std::max(0.0f, c.hsvHueF()), c.hsvSaturationF(), static_cast<float>(std::min(1.0, v)));
    }

    void fitTexts()
    {
        struct Edit {
            int position;
            int length;
            QTextCharFormat format;
        };
        std::vector<Edit> edits;
        for (QTextBlock b = m_document.begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                QTextCharFormat cf = f.charFormat();
                if (cf.isImageFormat())
                    continue;
                const auto own = ownColour(cf.foreground());
                QColor colour = dimmed(own.value_or(m_text));
                const QColor ground = groundAt(cf, b, f.position());
                if (contrastRatio(colour, ground) < kLeastTextContrast) {
                    colour = m_text;
                    const QColor plain = luminance(ground) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
                    if (contrastRatio(colour, ground) < kLeastTextContrast)
                        colour = plain;
                }
                if (own ? colour != *own : colour != m_text) {
                    cf.setForeground(colour);
                    edits.push_back({f.position(), f.length(), cf});
                }
            }
        apply(edits);
    }

    template <class Edits>
    void apply(const Edits& edits)
    {
        // Collected first: a change of format splits and joins fragments.
        for (const auto& e : edits) {
            QTextCursor c(&m_document);
            c.setPosition(e.position);
            c.setPosition(e.position + e.length, QTextCursor::KeepAnchor);
            c.setCharFormat(e.format);
        }
    }

    QTextDocument& m_document;
    const QColor m_base;
    const QColor m_text;
    const bool m_dark;
};

} // namespace

void fitListingColours(QTextDocument& document, const QPalette& palette)
{
    Fitter(document, palette).run();
}

} // namespace tw
