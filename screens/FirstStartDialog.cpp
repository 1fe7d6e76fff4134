// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/FirstStartDialog.h"

#include "app/CGlobalData.h"
#include "app/FirstStart.h"
#include "app/LanguageTable.h"
#include "platform/Prompter.h"
#include "screens/CoordEdit.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextChooseLanguage = 920;
constexpr int kTextHomeCaption = 921;
constexpr int kTextHomeWhy = 922;
constexpr int kTextLater = 923;
constexpr int kTextSaveHome = 924;
constexpr int kTextUnreadable = 226;

// The widest the questions grow on a wide window: keys stay within reach.
constexpr int kMaxContentWidthPx = 560;

// A page whose content keeps to a centred column.
QWidget* makeColumnPage(QVBoxLayout*& column)
{
    auto* page = new QWidget;
    auto* outer = new QHBoxLayout(page);
    auto* inner = new QWidget(page);
    inner->setMaximumWidth(kMaxContentWidthPx);
    outer->addStretch(1);
    outer->addWidget(inner, 100);
    outer->addStretch(1);
    column = new QVBoxLayout(inner);
    column->setContentsMargins(0, 0, 0, 0);
    return page;
}

} // namespace

FirstStartDialog::FirstStartDialog(CGlobalData& global, QWidget* parent) : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("firstStartDialog"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    auto* layout = new QVBoxLayout(this);
    m_pages = new QStackedWidget(this);
    layout->addWidget(m_pages);

    // Nobody has chosen a language yet: the question stands in every one.
    const auto languages = LanguageTable::listLanguages(global.GetInstallDir());
    QStringList questions;
    for (const auto& language : languages) {
        LanguageTable table;
        table.loadTable(global.GetInstallDir(), language.code);
        const QString question = QString::fromStdString(table.text(kTextChooseLanguage));
        if (!question.isEmpty() && !questions.contains(question))
            questions << question;
    }
    QVBoxLayout* column = nullptr;
    QWidget* languagePage = makeColumnPage(column);
    column->addWidget(makeDialogCaption(questions.join(QLatin1Char('\n')), languagePage));
    column->addSpacing(touchPx(global) / 2);
    for (const auto& language : languages) {
        const QString code = QString::fromStdString(language.code);
        auto* key = new QPushButton(QString::fromStdString(language.name), languagePage);
        key->setObjectName(QStringLiteral("language-") + code);
        key->setMinimumHeight(touchPx(global) * 3 / 2);
        QFont font = key->font();
        font.setPointSizeF(font.pointSizeF() * 1.2);
        key->setFont(font);
        key->setAutoDefault(false);
        connect(key, &QPushButton::clicked, this, [this, code] { chooseLanguage(code); });
        column->addWidget(key);
    }
    column->addStretch(1);
    m_pages->addWidget(languagePage);
    // Without language files there is nothing to choose: home comes first.
    if (languages.empty()) {
        m_pages->addWidget(makeHomePage());
        m_pages->setCurrentIndex(1);
    }
}

QPushButton* FirstStartDialog::languageKey(const QString& code) const
{
    return findChild<QPushButton*>(QStringLiteral("language-") + code);
}

void FirstStartDialog::chooseLanguage(const QString& code)
{
    storeFirstLanguage(m_global, code.toStdString());
    // The home page speaks the chosen language, so it is made only now.
    m_pages->addWidget(makeHomePage());
    m_pages->setCurrentIndex(m_pages->count() - 1);
    // A dialog over a wide window was sized for the language page.
    if (parentWidget())
        placeDialog(*this, parentWidget());
    m_home->latField()->setFocus();
}

QWidget* FirstStartDialog::makeHomePage()
{
    QVBoxLayout* column = nullptr;
    QWidget* page = makeColumnPage(column);
    column->addWidget(makeDialogCaption(langText(m_global, kTextHomeCaption), page));
    auto* why = new QLabel(langText(m_global, kTextHomeWhy), page);
    why->setWordWrap(true);
    column->addWidget(why);
    column->addSpacing(touchPx(m_global) / 3);
    m_home = new CoordEdit(m_global, page);
    m_home->setPosition({m_global.settings.homeLat, m_global.settings.homeLon});
    column->addWidget(m_home);
    column->addStretch(1);

    auto* keys = new QHBoxLayout;
    m_later = makeTouchButton(m_global, langText(m_global, kTextLater), page);
    m_later->setObjectName(QStringLiteral("later"));
    m_save = makeTouchButton(m_global, langText(m_global, kTextSaveHome), page);
    m_save->setObjectName(QStringLiteral("saveHome"));
    m_save->setDefault(true);
    keys->addWidget(m_later, 1);
    keys->addWidget(m_save, 1);
    column->addLayout(keys);
    connect(m_later, &QPushButton::clicked, this, [this] {
        storeFirstHome(m_global, std::nullopt);
        accept();
    });
    connect(m_save, &QPushButton::clicked, this, &FirstStartDialog::saveHome);
    return page;
}

void FirstStartDialog::saveHome()
{
    const auto position = m_home->position();
    if (!position) {
        m_global.prompter.message(m_global.text(kTextUnreadable), MessageIcon::Exclamation);
        return;
    }
    storeFirstHome(m_global, position);
    accept();
}

void FirstStartDialog::askIfFirstStart(CGlobalData& global)
{
    if (!isFirstStart(global))
        return;
    global.LoadSettings(SettingsGroup::All);
    FirstStartDialog dialog(global);
    // The size the main window opens at, which follows.
    dialog.resize(480, 800);
    dialog.exec();
}

} // namespace tw
