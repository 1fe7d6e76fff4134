// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/ListingBrowser.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace tw;

class ListingNestingTest : public QObject {
    Q_OBJECT

private slots:
    void nestingBeyondTheLimitLosesItsTagsButNotItsText()
    {
        struct Row {
            const char* name;
            const char* html;
            const char* limited;
        };
        const Row rows[] = {
            {"deep", "<div><div><b>x</b></div></div>", "<div><div>x</div></div>"},
            {"siblings keep their depth", "<div><i>a</i><i>b</i></div>", "<div><i>a</i><i>b</i></div>"},
            {"unclosed paragraphs end at the next", "<div><p>a<p>b<p><b>c</b></div>",
             "<div><p>a<p>b<p>c</div>"},
            {"void elements and comments count nothing", "<p><br><img src='a>b'><!-- <div> --><i>x</i></p>",
             "<p><br><img src='a>b'><!-- <div> --><i>x</i></p>"},
            {"stray end tags stay", "</b><p>x</p></i>", "</b><p>x</p></i>"},
        };
        for (const Row& r : rows)
            QVERIFY2(limitNesting(QString::fromUtf8(r.html), 2) == QString::fromUtf8(r.limited),
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(r.name), limitNesting(QString::fromUtf8(r.html), 2))));
    }

    // A listing of 100,000 nested <div> is shown in moments, its text there.
    void aHostilelyDeepListingIsShownAtOnce()
    {
        constexpr int kDepth = 100000;
        QString html;
        html.reserve(kDepth * 11 + 16);
        for (int i = 0; i < kDepth; ++i)
            html += QLatin1String("<div>");
        html += QLatin1String("innermost");
        for (int i = 0; i < kDepth; ++i)
            html += QLatin1String("</div>");
        html += QLatin1String("<p>after</p>");
        ListingBrowser browser({});
        browser.resize(480, 800);
        QElapsedTimer clock;
        clock.start();
        browser.setPage(html);
        QVERIFY(browser.toPlainText().contains(QLatin1String("innermost")));
        QVERIFY(browser.toPlainText().contains(QLatin1String("after")));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(ListingNestingTest)
#include "ListingNestingTest.moc"
