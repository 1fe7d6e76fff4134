// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/COptionsScr.h"

#include "app/CGlobalData.h"
#include "app/LanguageTable.h"
#include "app/Options.h"
#include "geo/CoordEntry.h"
#include "platform/Prompter.h"
#include "platform/SoundPlayer.h"
#include "screens/CSettingsAlertPage.h"
#include "screens/CSettingsGPSPage.h"
#include "screens/CacheListScreen.h"
#include "screens/CoordEdit.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/OptionsPage.h"
#include "screens/ShownDates.h"
#include "screens/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QFileDialog>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextPageGeneral = 661; // 661 to 667: the pages in order
constexpr int kTextDbFile = 668;
constexpr int kTextBrowse = 669;
constexpr int kTextMapFolder = 670;
constexpr int kTextElevationFolder = 1301;
constexpr int kTextElevationNote = 1302;
constexpr int kTextMapTheme = 1312;
constexpr int kTextMapThemeNote = 1323;
constexpr int kTextGpsDeviceFolder = 1279;
constexpr int kTextSendLogs = 1280;
constexpr int kTextMaxRows = 671;
constexpr int kTextSuspendKiller = 672;
constexpr int kTextRunOnSuspend = 673;
constexpr int kTextRefresh = 674;
constexpr int kTextRefreshNever = 675;
constexpr int kTextRefreshEvery = 676;
constexpr int kTextFont = 677;
constexpr int kTextDnlOnline = 678;
constexpr int kTextNickname = 679;
constexpr int kTextPassword = 680;
constexpr int kTextPasswordScrambled = 1150;
constexpr int kTextHome = 681;
constexpr int kTextLanguage = 682;
constexpr int kTextLanguageNote = 683;
constexpr int kTextUnits = 684;
constexpr int kTextMetric = 685;
constexpr int kTextImperial = 686;
constexpr int kTextCoordStyle = 687;
constexpr int kTextStyleFirst = 688; // 688 to 690: the three styles
constexpr int kTextMapSource = 700;
constexpr int kTextMapType = 701;
constexpr int kTextNoMaps = 702;
constexpr int kTextTemplate = 703;
constexpr int kTextTemplateNote = 704;
constexpr int kTextSince = 705;
constexpr int kTextFindsExtra = 706;
constexpr int kTextTrackFolder = 707;
constexpr int kTextFormats = 708;
constexpr int kTextGpx = 709;
constexpr int kTextKml = 710;
constexpr int kTextPlt = 711;
constexpr int kTextDelTrack = 712;
constexpr int kTextDbFailed = 718;
constexpr int kTextOverlays = 719;
constexpr int kTextOk = 505;
constexpr int kTextTheme = 1360;
constexpr int kTextThemeFirst = 1361; // 1361 to 1363: day, night, high contrast
constexpr int kTextThemeNote = 1364;
constexpr int kTextSheetPaper = 1353;
constexpr int kTextPaperOfRegion = 1354;

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string s(const QString& q)
{
    return q.toStdString();
}

int dateNumber(const QDate& d)
{
    return d.year() * 10000 + d.month() * 100 + d.day();
}

SilentSoundPlayer g_silent;

} // namespace

COptionsScr::COptionsScr(CGlobalData& global, QWidget* parent) : Screen(global, parent), m_initial(global.settings)
{
    setObjectName(QStringLiteral("options"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = makePageTabs(global, this);
    m_tabs->setObjectName(QStringLiteral("optionsTabs"));
    layout->addWidget(m_tabs);

    m_gps = new CSettingsGPSPage(global, m_tabs);
    m_alert = new CSettingsAlertPage(global, global.gpsServices.soundPlayer ? *global.gpsServices.soundPlayer : g_silent, m_tabs);
    const std::vector<QWidget*> pages{buildGeneral(), buildUser(),        m_gps,  buildMap(),
                                      buildFieldNotes(), buildTrackExport(), m_alert};
    for (std::size_t i = 0; i < pages.size(); ++i)
        m_tabs->addTab(pages[i], langText(global, kTextPageGeneral + static_cast<int>(i)));
    m_gps->load(m_initial);
    m_alert->load(m_initial);
}

COptionsScr::~COptionsScr() = default;

QString COptionsScr::mainActionText() const
{
    return langText(m_global, kTextOk);
}

void COptionsScr::mainAction()
{
    if (apply())
        emit closeRequested();
}

bool COptionsScr::leave()
{
    // Back: whatever a search for the receiver changed goes back too.
    m_gps->restoreReceiver();
    return true;
}

void COptionsScr::showPage(Page page)
{
    m_tabs->setCurrentIndex(static_cast<int>(page));
}

QWidget* COptionsScr::buildGeneral()
{
    const Settings& st = m_initial;
    auto* page = new OptionsPage(m_global, m_tabs);
    page->setObjectName(QStringLiteral("generalPage"));
    m_dbFile = new QLineEdit(q(st.dbFile));
    m_dbFile->setObjectName(QStringLiteral("dbFile"));
    auto* browse = makeTouchButton(m_global, langText(m_global, kTextBrowse), page);
    connect(browse, &QPushButton::clicked, this, &COptionsScr::browseDatabase);
    page->addField(langText(m_global, kTextDbFile), page->withKey(m_dbFile, browse));

    m_mapFolder = new QLineEdit(q(st.mapFolder));
    m_mapFolder->setObjectName(QStringLiteral("mapFolder"));
    auto* browseMaps = makeTouchButton(m_global, langText(m_global, kTextBrowse), page);
    connect(browseMaps, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, langText(m_global, kTextMapFolder),
                                                              m_mapFolder->text());
        if (!dir.isEmpty())
            m_mapFolder->setText(dir);
    });
    page->addField(langText(m_global, kTextMapFolder), page->withKey(m_mapFolder, browseMaps));

    // Empty: the send looks for a unit in the mount folders.
    m_gpsDeviceFolder = new QLineEdit(q(st.gpsDeviceFolder));
    m_gpsDeviceFolder->setObjectName(QStringLiteral("gpsDeviceFolder"));
    auto* browseDevice = makeTouchButton(m_global, langText(m_global, kTextBrowse), page);
    connect(browseDevice, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, langText(m_global, kTextGpsDeviceFolder),
                                                              m_gpsDeviceFolder->text());
        if (!dir.isEmpty())
            m_gpsDeviceFolder->setText(dir);
    });
    page->addField(langText(m_global, kTextGpsDeviceFolder), page->withKey(m_gpsDeviceFolder, browseDevice));
    m_sendLogs = new QSpinBox;
    m_sendLogs->setObjectName(QStringLiteral("sendLogs"));
    m_sendLogs->setRange(0, 100);
    m_sendLogs->setValue(std::clamp(st.sendLogs, 0, 100));
    page->addField(langText(m_global, kTextSendLogs), m_sendLogs);

    m_maxRows = new QSpinBox;
    m_maxRows->setObjectName(QStringLiteral("maxRows"));
    m_maxRows->setRange(1, kMostListRows);
    m_maxRows->setValue(st.maxRows);
    page->addField(langText(m_global, kTextMaxRows), m_maxRows);

    m_refresh = new QComboBox;
    m_refresh->setObjectName(QStringLiteral("refresh"));
    for (const int seconds : kRefreshChoices)
        m_refresh->addItem(seconds == 0 ? langText(m_global, kTextRefreshNever)
                                        : langText(m_global, kTextRefreshEvery).replace(QLatin1String("%d"),
                                                                                        QString::number(seconds)),
                           seconds);
    // A period set by hand elsewhere is kept as it is.
    if (m_refresh->findData(st.srchResRefresh) < 0)
        m_refresh->addItem(langText(m_global, kTextRefreshEvery).replace(QLatin1String("%d"),
                                                                         QString::number(st.srchResRefresh)),
                           st.srchResRefresh);
    m_refresh->setCurrentIndex(m_refresh->findData(st.srchResRefresh));
    page->addField(langText(m_global, kTextRefresh), m_refresh);

    m_font = new QFontComboBox;
    m_font->setObjectName(QStringLiteral("font"));
    m_font->setCurrentFont(QFont(q(st.fontName)));
    m_font->setEditText(q(st.fontName));
    page->addField(langText(m_global, kTextFont), m_font);

    m_theme = new QComboBox;
    m_theme->setObjectName(QStringLiteral("theme"));
    for (int theme = 0; theme < kThemeCount; ++theme)
        m_theme->addItem(langText(m_global, kTextThemeFirst + theme), theme);
    m_theme->setCurrentIndex(static_cast<int>(themeFromSetting(st.theme)));
    page->addField(langText(m_global, kTextTheme), m_theme);
    page->addNote(langText(m_global, kTextThemeNote))->setObjectName(QStringLiteral("themeNote"));

    m_suspendKiller = new QCheckBox(langText(m_global, kTextSuspendKiller));
    m_suspendKiller->setObjectName(QStringLiteral("suspendKiller"));
    m_suspendKiller->setChecked(st.suspendKiller != 0);
    page->addWidget(m_suspendKiller);
    m_runOnSuspend = new QCheckBox(langText(m_global, kTextRunOnSuspend));
    m_runOnSuspend->setObjectName(QStringLiteral("runOnSuspend"));
    m_runOnSuspend->setChecked(st.runOnSuspend != 0);
    page->addWidget(m_runOnSuspend);
    m_dnlOnline = new QCheckBox(langText(m_global, kTextDnlOnline));
    m_dnlOnline->setObjectName(QStringLiteral("dnlOnline"));
    m_dnlOnline->setChecked(st.dnlOnline != 0);
    page->addWidget(m_dnlOnline);
    page->finish();
    return page;
}

QWidget* COptionsScr::buildUser()
{
    const Settings& st = m_initial;
    auto* page = new OptionsPage(m_global, m_tabs);
    page->setObjectName(QStringLiteral("userPage"));
    m_nickname = new QLineEdit(q(st.nickname));
    m_nickname->setObjectName(QStringLiteral("nickname"));
    page->addField(langText(m_global, kTextNickname), m_nickname);
    m_password = new QLineEdit(q(st.password));
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    page->addField(langText(m_global, kTextPassword), m_password);
    // There is no keyring to keep it in: the user should know what it is worth.
    page->addNote(langText(m_global, kTextPasswordScrambled))->setObjectName(QStringLiteral("passwordNote"));

    m_home = new CoordEdit(m_global);
    m_home->setObjectName(QStringLiteral("home"));
    m_home->setPosition({st.homeLat, st.homeLon});
    page->addField(langText(m_global, kTextHome), m_home);

    m_units = new QComboBox;
    m_units->setObjectName(QStringLiteral("units"));
    m_units->addItem(langText(m_global, kTextMetric), 1);
    m_units->addItem(langText(m_global, kTextImperial), 0);
    m_units->setCurrentIndex(st.metricUnits != 0 ? 0 : 1);
    connect(m_units, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_alert->setMetric(index == 0); });
    page->addField(langText(m_global, kTextUnits), m_units);

    m_coordStyle = new QComboBox;
    m_coordStyle->setObjectName(QStringLiteral("coordStyle"));
    for (int style = 0; style < 3; ++style)
        m_coordStyle->addItem(langText(m_global, kTextStyleFirst + style), style);
    m_coordStyle->setCurrentIndex(
        m_coordStyle->findData(static_cast<int>(geo::coordEntryStyle(st.coordStyle))));
    page->addField(langText(m_global, kTextCoordStyle), m_coordStyle);

    m_sheetPaper = new QComboBox;
    m_sheetPaper->setObjectName(QStringLiteral("sheetPaper"));
    m_sheetPaper->addItem(langText(m_global, kTextPaperOfRegion), 0);
    // The names of the papers are the same in every language.
    m_sheetPaper->addItem(QStringLiteral("A4"), 1);
    m_sheetPaper->addItem(QStringLiteral("Letter"), 2);
    m_sheetPaper->setCurrentIndex(std::max(0, m_sheetPaper->findData(st.sheetPaper)));
    page->addField(langText(m_global, kTextSheetPaper), m_sheetPaper);

    m_language = new QComboBox;
    m_language->setObjectName(QStringLiteral("language"));
    const auto languages = LanguageTable::listLanguages(m_global.GetInstallDir());
    bool known = false;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        const std::string code = LanguageTable::codeAt(languages, static_cast<int>(i));
        known = known || code == st.language.substr(0, 2);
        m_language->addItem(q(languages[i].name), q(code));
    }
    int languageRow = LanguageTable::selectedIndex(languages, st.language);
    if (!known) { // its file went missing: the code stays as it is
        m_language->addItem(q(st.language), q(st.language));
        languageRow = m_language->count() - 1;
    }
    m_language->setCurrentIndex(languageRow);
    page->addField(langText(m_global, kTextLanguage), m_language);
    page->addNote(langText(m_global, kTextLanguageNote))->setObjectName(QStringLiteral("languageNote"));
    page->finish();
    return page;
}

QWidget* COptionsScr::buildMap()
{
    auto* page = new OptionsPage(m_global, m_tabs);
    page->setObjectName(QStringLiteral("mapPage"));
    m_mapSource = new QComboBox;
    m_mapSource->setObjectName(QStringLiteral("mapSource"));
    for (const auto& [index, source] : m_global.mapSources)
        m_mapSource->addItem(q(source.name).simplified(), index);
    QLabel* sourceCaption = page->addField(langText(m_global, kTextMapSource), m_mapSource);
    m_mapType = new QComboBox;
    m_mapType->setObjectName(QStringLiteral("mapType"));
    QLabel* typeCaption = page->addField(langText(m_global, kTextMapType), m_mapType);
    m_overlaysCaption = new QLabel(langText(m_global, kTextOverlays));
    page->addWidget(m_overlaysCaption);
    for (int i = 0; i < maps::kMaxMapTypesPerMode; ++i) {
        auto* box = new QCheckBox;
        box->setObjectName(QStringLiteral("overlay%1").arg(i + 1));
        m_overlays.push_back(box);
        page->addWidget(box);
    }
    if (m_global.mapSources.empty()) {
        page->addNote(langText(m_global, kTextNoMaps))->setObjectName(QStringLiteral("noMaps"));
        for (QWidget* w : std::initializer_list<QWidget*>{sourceCaption, m_mapSource, typeCaption, m_mapType})
            w->hide();
    }
    connect(m_mapSource, &QComboBox::currentIndexChanged, this,
            [this](int row) { fillMapTypes(m_mapSource->itemData(row).toInt()); });
    const int row = std::max(0, m_mapSource->findData(m_initial.mapSource));
    m_mapSource->setCurrentIndex(row);
    fillMapTypes(m_mapSource->count() ? m_mapSource->itemData(row).toInt() : m_initial.mapSource);
    addElevationFolder(*page);
    addMapTheme(*page);
    page->finish();
    return page;
}

void COptionsScr::fillMapTypes(int sourceIndex)
{
    const maps::MapSource* source = maps::findSource(m_global.mapSources, sourceIndex);
    const bool sameSource = sourceIndex == m_initial.mapSource;
    m_mapType->clear();
    // A vector map is one map type, drawn as its theme says (its styles are
    // in the map's menu): it shows under its own name, not to be changed.
    const bool vector = source && maps::isVectorSource(*source);
    if (vector)
        m_mapType->addItem(q(source->name).simplified(), 0);
    else if (source)
        for (std::size_t i = 0; i < source->basic.size(); ++i)
            m_mapType->addItem(q(source->basic[i].name).simplified(), static_cast<int>(i));
    m_mapType->setEnabled(!vector);
    const int typeRow = m_mapType->findData(sameSource ? m_initial.mapType : 0);
    m_mapType->setCurrentIndex(std::max(0, typeRow));
    const int on[] = {m_initial.mapType1, m_initial.mapType2, m_initial.mapType3};
    bool anyOverlay = false;
    for (std::size_t i = 0; i < m_overlays.size(); ++i) {
        const maps::MapType* overlay =
            source ? maps::getMapType(*source, maps::kFirstOverlayIndex + static_cast<int>(i)) : nullptr;
        m_overlays[i]->setVisible(overlay != nullptr);
        m_overlays[i]->setText(overlay ? q(overlay->name).simplified() : QString());
        m_overlays[i]->setChecked(overlay && sameSource && on[i] != 0);
        anyOverlay = anyOverlay || overlay;
    }
    m_overlaysCaption->setVisible(anyOverlay);
}

void COptionsScr::addElevationFolder(OptionsPage& page)
{
    m_elevationFolder = new QLineEdit(q(m_initial.elevationFolder));
    m_elevationFolder->setObjectName(QStringLiteral("elevationFolder"));
    auto* browse = makeTouchButton(m_global, langText(m_global, kTextBrowse), &page);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, langText(m_global, kTextElevationFolder),
                                                              m_elevationFolder->text());
        if (!dir.isEmpty())
            m_elevationFolder->setText(dir);
    });
    page.addField(langText(m_global, kTextElevationFolder), page.withKey(m_elevationFolder, browse));
    page.addNote(langText(m_global, kTextElevationNote));
}

void COptionsScr::addMapTheme(OptionsPage& page)
{
    m_mapTheme = new QLineEdit(q(m_initial.mapTheme));
    m_mapTheme->setObjectName(QStringLiteral("mapTheme"));
    auto* browse = makeTouchButton(m_global, langText(m_global, kTextBrowse), &page);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, langText(m_global, kTextMapTheme), m_mapTheme->text(),
                                                          QStringLiteral("*.xml"));
        if (!file.isEmpty())
            m_mapTheme->setText(file);
    });
    page.addField(langText(m_global, kTextMapTheme), page.withKey(m_mapTheme, browse));
    page.addNote(langText(m_global, kTextMapThemeNote));
}

QWidget* COptionsScr::buildFieldNotes()
{
    const Settings& st = m_initial;
    auto* page = new OptionsPage(m_global, m_tabs);
    page->setObjectName(QStringLiteral("fieldNotesPage"));
    m_template = new QPlainTextEdit(linesForWidget(st.fnTemplate));
    m_template->setObjectName(QStringLiteral("template"));
    m_template->setMinimumHeight(touchPx(m_global) * 3);
    page->addField(langText(m_global, kTextTemplate), m_template);
    page->addNote(langText(m_global, kTextTemplateNote));

    m_since = new QDateEdit;
    m_since->setObjectName(QStringLiteral("since"));
    m_since->setCalendarPopup(true);
    showProgramDates(m_since, m_global);
    const QDate since = st.fnSince > 0 ? QDate(st.fnSince / 10000, st.fnSince / 100 % 100, st.fnSince % 100)
                                       : QDate::currentDate().addDays(-2);
    m_since->setDate(since.isValid() ? since : QDate::currentDate().addDays(-2));
    page->addField(langText(m_global, kTextSince), m_since);

    m_findsExtra = new QSpinBox;
    m_findsExtra->setObjectName(QStringLiteral("findsExtra"));
    m_findsExtra->setRange(0, 1000000);
    m_findsExtra->setValue(st.findsCountExtra);
    page->addField(langText(m_global, kTextFindsExtra), m_findsExtra);
    page->finish();
    return page;
}

QWidget* COptionsScr::buildTrackExport()
{
    const Settings& st = m_initial;
    auto* page = new OptionsPage(m_global, m_tabs);
    page->setObjectName(QStringLiteral("trackExportPage"));
    m_trackFolder = new QLineEdit(q(st.trackFile));
    m_trackFolder->setObjectName(QStringLiteral("trackFolder"));
    auto* browse = makeTouchButton(m_global, langText(m_global, kTextBrowse), page);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, langText(m_global, kTextTrackFolder),
                                                              m_trackFolder->text());
        if (!dir.isEmpty())
            m_trackFolder->setText(dir);
    });
    page->addField(langText(m_global, kTextTrackFolder), page->withKey(m_trackFolder, browse));
    page->addWidget(new QLabel(langText(m_global, kTextFormats)));
    auto box = [&](QCheckBox*& member, const char* name, int text, int on) {
        member = new QCheckBox(langText(m_global, text));
        member->setObjectName(QLatin1String(name));
        member->setChecked(on != 0);
        page->addWidget(member);
    };
    box(m_trackGpx, "trackGpx", kTextGpx, st.trackGPX);
    box(m_trackKml, "trackKml", kTextKml, st.trackKML);
    box(m_trackPlt, "trackPlt", kTextPlt, st.trackPLT);
    box(m_delTrack, "delTrack", kTextDelTrack, st.delTrack);
    page->finish();
    return page;
}

void COptionsScr::browseDatabase()
{
    // An existing file is opened; a new name is made from the template on OK.
    QFileDialog dialog(this, langText(m_global, kTextDbFile), m_dbFile->text(), QStringLiteral("*.db3"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_dbFile->setText(dialog.selectedFiles().front());
}

Settings COptionsScr::edited() const
{
    Settings st = m_initial;
    st.dbFile = s(m_dbFile->text().trimmed());
    st.mapFolder = s(m_mapFolder->text().trimmed());
    st.elevationFolder = s(m_elevationFolder->text().trimmed());
    st.mapTheme = s(m_mapTheme->text().trimmed());
    st.maxRows = m_maxRows->value();
    st.gpsDeviceFolder = s(m_gpsDeviceFolder->text().trimmed());
    st.sendLogs = m_sendLogs->value();
    st.suspendKiller = m_suspendKiller->isChecked() ? 1 : 0;
    st.runOnSuspend = m_runOnSuspend->isChecked() ? 1 : 0;
    st.srchResRefresh = m_refresh->currentData().toInt();
    st.fontName = s(m_font->currentText());
    storeTheme(st, themeFromSetting(m_theme->currentData().toInt()));
    st.dnlOnline = m_dnlOnline->isChecked() ? 1 : 0;

    st.nickname = s(m_nickname->text());
    st.password = s(m_password->text());
    if (const auto home = m_home->position()) {
        st.homeLat = home->lat;
        st.homeLon = home->lon;
    }
    st.language = s(m_language->currentData().toString());
    st.metricUnits = m_units->currentData().toInt();
    st.coordStyle = m_coordStyle->currentData().toInt();
    st.sheetPaper = m_sheetPaper->currentData().toInt();

    if (m_mapSource->count() > 0) {
        st.mapSource = m_mapSource->currentData().toInt();
        st.mapType = std::max(0, m_mapType->currentData().toInt());
        int* overlays[] = {&st.mapType1, &st.mapType2, &st.mapType3};
        for (std::size_t i = 0; i < m_overlays.size(); ++i)
            *overlays[i] = m_overlays[i]->isChecked() ? 1 : 0;
    }

    st.fnTemplate = linesFromWidget(m_template->toPlainText());
    st.fnSince = dateNumber(m_since->date());
    st.findsCountExtra = m_findsExtra->value();

    st.trackFile = s(m_trackFolder->text().trimmed());
    st.trackGPX = m_trackGpx->isChecked() ? 1 : 0;
    st.trackKML = m_trackKml->isChecked() ? 1 : 0;
    st.trackPLT = m_trackPlt->isChecked() ? 1 : 0;
    st.delTrack = m_delTrack->isChecked() ? 1 : 0;

    m_gps->store(st);
    m_alert->store(st);
    return st;
}

void COptionsScr::changeEvent(QEvent* event)
{
    Screen::changeEvent(event);
    // The night key changed the theme while the pages are open: the field
    // follows, so that OK keeps the theme in force.
    if (event->type() == QEvent::PaletteChange && m_theme
        && themeFromSetting(m_global.settings.theme) != themeFromSetting(m_initial.theme)) {
        m_initial.theme = m_global.settings.theme;
        m_initial.dayTheme = m_global.settings.dayTheme;
        m_theme->setCurrentIndex(m_theme->findData(static_cast<int>(themeFromSetting(m_initial.theme))));
    }
}

bool COptionsScr::apply()
{
    // A search still running ends first: the receiver is the options' now.
    m_gps->stopDetect();
    const OptionsOutcome outcome = applyOptions(m_global, edited());
    if (!outcome.applied) {
        m_global.prompter.message(
            langText(m_global, kTextDbFailed).replace(QLatin1String("%s"), m_dbFile->text()).toStdString(),
            MessageIcon::Exclamation);
        showPage(General);
        return false;
    }
    m_initial = m_global.settings;
    applyTheme(themeFromSetting(m_initial.theme));
    m_gps->accepted();
    emit applied();
    return true;
}

void openOptionsScreen(MainWindow& window, CGlobalData& global)
{
    auto* screen = new COptionsScr(global);
    QObject::connect(screen, &COptionsScr::applied, &window, [&window] {
        window.refreshStatus();
        if (CacheListScreen* list = window.cacheList())
            list->reload();
    });
    window.pushScreen(screen);
}

} // namespace tw
