// SPDX-License-Identifier: GPL-3.0-or-later
// Every screen and dialog of the screen tour, opened in the night theme.
#include "screens/MainWindow.h"
#include "screens/Theme.h"
#include "tools/tour/TourWorld.h"

#include <QAbstractScrollArea>
#include <QtTest>

#include <memory>

using namespace tw;

namespace {

// Grounds at night stay below this luminance (the night's own lie near 0.01).
constexpr double kDarkGround = 0.05;
// Pixels this light are glare at night.
constexpr double kGlare = 0.3;
// Of a whole screen, at most this share may be that light: icons, the
// marks of the map, a dimmed photo's highlights.
constexpr double kMostGlare = 0.03;

QString describe(const QWidget* w)
{
    return QStringLiteral("%1 %2 (%3×%4)")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())
        .arg(w->width())
        .arg(w->height());
}

// A widget paints its ground with the colour of its background role when it
// fills it (a window, a scroll area's viewport, a field); the others show
// their parent's ground but draw their own frames and faces from the same
// role, so every visible widget's role must be dark.
void checkGrounds(QWidget* shown, const QString& stop, QStringList& faults)
{
    QList<QWidget*> widgets = shown->findChildren<QWidget*>();
    widgets.prepend(shown);
    for (QWidget* w : widgets) {
        if (!w->isVisible() || w->width() < 2 || w->height() < 2)
            continue;
        const QColor ground = w->palette().color(w->backgroundRole());
        if (luminance(ground) >= kDarkGround)
            faults << QStringLiteral("%1: %2 has the ground %3").arg(stop, describe(w), ground.name());
        if (w->styleSheet().contains(QLatin1String("background")))
            faults << QStringLiteral("%1: %2 sets its own ground in a style sheet").arg(stop, describe(w));
    }
}

double glareShare(const QImage& image)
{
    int light = 0;
    int n = 0;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3, ++n)
            light += luminance(image.pixelColor(x, y)) > kGlare ? 1 : 0;
    return n ? static_cast<double>(light) / n : 0;
}

} // namespace

class NightTourTest : public QObject {
    Q_OBJECT

private slots:
    void theNightThemeLeavesNoWidgetWithALightGround()
    {
        TourWorld world(TARNWICK_RUNTIME_DIR);
        QVERIFY(world.ready());
        world.global->settings.theme = static_cast<int>(Theme::Night);
        auto window = std::make_unique<MainWindow>(*world.global, world.notifier);
        window->resize(480, 800);
        window->show();
        QCOMPARE(appliedTheme(), Theme::Night);
        TourContext context{*world.global, *window, world.notifier};
        QStringList faults;
        int visited = 0;
        for (const TourStop& stop : tourStops()) {
            // A printed sheet is paper, white in every theme.
            if (stop.name == QLatin1String("cache-sheet"))
                continue;
            visitStop(stop, context, [&](QWidget* shown) {
                if (!shown) {
                    faults << stop.name + QStringLiteral(": does not open");
                    return;
                }
                ++visited;
                checkGrounds(shown, stop.name, faults);
                const double glare = glareShare(shown->grab().toImage());
                if (glare > kMostGlare)
                    faults << QStringLiteral("%1: %2% of the picture is light").arg(stop.name).arg(glare * 100, 0, 'f', 1);
            });
        }
        QVERIFY(visited > 30);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        applyTheme(Theme::Day);
    }
};

QTEST_MAIN(NightTourTest)
#include "NightTourTest.moc"
