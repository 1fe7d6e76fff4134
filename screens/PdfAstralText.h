// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFont>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <vector>

class QRawFont;

namespace tw {

// Characters beyond U+FFFF — most emoji — in the text of a PDF written by
// Qt's PDF writer.
//
// For every glyph it embeds, the writer names the character the glyph
// stands for, so that a viewer can search and copy the text; but it looks
// for that character only among U+0000–U+FFFF, so an emoji is printed and
// then found by no search. This mends that in two steps:
// - fontFor() draws such characters from a copy of their font in which each
//   of them can also be reached through a private-use character
//   (U+E000–U+F8FF): that is the character the writer then names;
// - update() turns those names into the real characters, in an update
//   appended to the finished file (the file's own bytes stay as written).
// A sheet without such characters is written exactly as before.
class AstralText {
public:
    AstralText() = default;
    ~AstralText(); // removes the fonts it added
    AstralText(const AstralText&) = delete;
    AstralText& operator=(const AstralText&) = delete;

    // font with the copies that draw text's characters beyond U+FFFF among
    // its families; font itself for text without any.
    QFont fontFor(const QString& text, const QFont& font);

    // What to append to the finished PDF: its ToUnicode maps of the fonts
    // added here, with the real characters. tail: the file's last bytes
    // (from before its fonts were written to its end), fileSize: the whole
    // file's. Empty when nothing needs mending, or when tail is not laid out
    // as expected (the file is then left as it is: searchable but for the
    // emoji).
    QByteArray update(const QByteArray& tail, qint64 fileSize) const;

private:
    struct Face {
        QString family;
        QString source; // the family it copies
        QByteArray postscriptName;
        int id = -1; // the application font
        std::map<char16_t, char32_t> twins; // private-use stand-in → character
    };
    bool addFace(const QRawFont& source, const std::set<char32_t>& wanted);

    std::vector<Face> m_faces;
    std::set<QString> m_sources; // fonts looked at, as family and style
    std::set<char32_t> m_known;  // characters looked at
};

// Passes everything on to a target device, and keeps a copy of what is
// written after keep(): the end of a PDF for AstralText::update.
class TailCopy final : public QIODevice {
public:
    explicit TailCopy(QIODevice& target);
    void keep() { m_keeping = true; }
    const QByteArray& kept() const { return m_kept; }
    qint64 written() const { return m_written; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    QIODevice& m_target;
    QByteArray m_kept;
    qint64 m_written = 0;
    bool m_keeping = false;
};

} // namespace tw
