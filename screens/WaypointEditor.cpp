// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/WaypointEditor.h"

#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "geo/CoordEntry.h"
#include "platform/Prompter.h"
#include "screens/CEvalDlg.h"
#include "screens/CProjectPointDlg.h"
#include "screens/CacheIcons.h"
#include "screens/CoordEdit.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextUnreadable = 226;
constexpr int kTextDeleteQuestion = 484;
constexpr int kTextFirstType = 486; // 486 to 491: the six waypoint types in their order
constexpr int kTextNewCaption = 492;
constexpr int kTextEditCaption = 493;
constexpr int kTextName = 494;
constexpr int kTextType = 495;
constexpr int kTextPrefix = 496;
constexpr int kTextCoordinates = 497;
constexpr int kTextDescription = 498;
constexpr int kTextNote = 499;
constexpr int kTextProjection = 501;
constexpr int kTextFormulas = 502;
constexpr int kTextDelete = 504;

constexpr int kWaypointTypes = 6;

void showUnreadable(CGlobalData& global)
{
    global.prompter.message(global.text(kTextUnreadable), MessageIcon::Exclamation);
}

// rows: the most lines the box grows to; 0 lets it take what space is left.
QPlainTextEdit* makeTextBox(const CGlobalData& global, const std::string& text, const char* name, int rows,
                            QWidget* parent)
{
    auto* box = new QPlainTextEdit(linesForWidget(text), parent);
    box->setObjectName(QLatin1String(name));
    box->setTabChangesFocus(true);
    const int height = std::max(touchPx(global) * 2, box->fontMetrics().lineSpacing() * rows + 12);
    box->setMinimumHeight(touchPx(global) * 2);
    if (rows > 0)
        box->setMaximumHeight(height);
    return box;
}

} // namespace

QString waypointTypeName(const CGlobalData& global, int type)
{
    if (type < 0 || type >= kWaypointTypes)
        type = WaypointType::Reference;
    return langText(global, kTextFirstType + type);
}

WaypointEditor::WaypointEditor(CGlobalData& global, CWaypoint& waypoint, bool isNew, QWidget* parent)
    : QDialog(parent), m_global(global), m_waypoint(waypoint), m_isNew(isNew)
{
    setObjectName(QStringLiteral("waypointEditor"));
    setWindowTitle(langText(global, isNew ? kTextNewCaption : kTextEditCaption));
    const int tap = touchPx(global);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(makeDialogCaption(windowTitle(), this));

    // The fields scroll when a small window cannot hold them; the keys stay.
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget(scroll);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    m_name = new QLineEdit(QString::fromStdString(waypoint.name), page);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->setMinimumHeight(tap);
    form->addRow(langText(global, kTextName), m_name);

    auto* typeRow = new QHBoxLayout;
    m_type = new QComboBox(page);
    m_type->setObjectName(QStringLiteral("type"));
    m_type->setMinimumHeight(tap);
    m_type->setIconSize(QSize(tap / 2, tap / 2));
    for (int type = 0; type < kWaypointTypes; ++type)
        m_type->addItem(QIcon(waypointIcon(type, tap / 2)), waypointTypeName(global, type), type);
    m_type->setCurrentIndex(std::max(0, m_type->findData(waypoint.type)));
    typeRow->addWidget(m_type, 1);
    typeRow->addWidget(new QLabel(langText(global, kTextPrefix), page));
    m_prefix = new QLineEdit(QString::fromStdString(waypoint.prefix), page);
    m_prefix->setObjectName(QStringLiteral("prefix"));
    m_prefix->setMaxLength(2);
    m_prefix->setMinimumHeight(tap);
    m_prefix->setFixedWidth(tap * 3 / 2);
    // The prefix names the waypoint in exports and finds it again on the
    // next import: it is chosen once.
    m_prefix->setReadOnly(!isNew);
    typeRow->addWidget(m_prefix);
    form->addRow(langText(global, kTextType), typeRow);

    m_coords = new CoordEdit(global, page);
    m_coords->setPosition({waypoint.lat, waypoint.lon});
    form->addRow(langText(global, kTextCoordinates), m_coords);

    auto* tools = new QHBoxLayout;
    QPushButton* projection = makeTouchButton(global, langText(global, kTextProjection), page);
    projection->setObjectName(QStringLiteral("projection"));
    QPushButton* formulas = makeTouchButton(global, langText(global, kTextFormulas), page);
    formulas->setObjectName(QStringLiteral("formulas"));
    tools->addWidget(projection);
    tools->addWidget(formulas);
    form->addRow(tools);
    connect(projection, &QPushButton::clicked, this, &WaypointEditor::openProjection);
    connect(formulas, &QPushButton::clicked, this, &WaypointEditor::openFormulas);

    m_description = makeTextBox(global, waypoint.text, "description", 3, page);
    form->addRow(new QLabel(langText(global, kTextDescription), page));
    form->addRow(m_description);
    m_note = makeTextBox(global, waypoint.comment, "note", 0, page);
    form->addRow(new QLabel(langText(global, kTextNote), page));
    form->addRow(m_note);

    scroll->setWidget(page);
    m_page = page;
    outer->addWidget(scroll, 1);
    QDialogButtonBox* keys = makeDialogKeys(global, *this);
    if (!isNew) {
        QPushButton* remove = keys->addButton(langText(global, kTextDelete), QDialogButtonBox::DestructiveRole);
        remove->setObjectName(QStringLiteral("delete"));
        remove->setMinimumHeight(tap);
        remove->setAutoDefault(false);
        connect(remove, &QPushButton::clicked, this, &WaypointEditor::deleteWaypoint);
    }
    outer->addWidget(keys);
    m_name->setFocus();
}

QSize WaypointEditor::sizeHint() const
{
    // As tall as the fields want, so that a wide window shows them without
    // scrolling; the scroll area alone would ask for a few rows only.
    QSize hint = QDialog::sizeHint();
    const int chrome = hint.height() - findChild<QScrollArea*>()->sizeHint().height();
    hint.setHeight(std::max(hint.height(), chrome + m_page->sizeHint().height()));
    return hint;
}

void WaypointEditor::accept()
{
    const auto position = m_coords->position();
    if (!position) {
        showUnreadable(m_global);
        return;
    }
    CWaypoint edited = m_waypoint;
    edited.name = m_name->text().trimmed().toStdString();
    edited.type = m_type->currentData().toInt();
    if (m_isNew)
        edited.prefix = m_prefix->text().trimmed().toUpper().toStdString();
    edited.lat = position->lat;
    edited.lon = position->lon;
    edited.text = linesFromWidget(m_description->toPlainText());
    edited.comment = linesFromWidget(m_note->toPlainText());
    if (!storeWaypoint(m_global, edited))
        return;
    m_waypoint = std::move(edited);
    QDialog::accept();
}

void WaypointEditor::deleteWaypoint()
{
    QString question = langText(m_global, kTextDeleteQuestion);
    question.replace(QLatin1String("%s"), m_name->text());
    if (!m_global.prompter.ask(question.toStdString(), false))
        return;
    if (!removeWaypoint(m_global, m_waypoint))
        return;
    m_deleted = true;
    QDialog::accept();
}

void WaypointEditor::openProjection()
{
    const auto from = m_coords->position();
    if (!from) {
        showUnreadable(m_global);
        return;
    }
    if (const auto to = CProjectPointDlg::project(this, m_global, *from))
        m_coords->setPosition(*to);
}

void WaypointEditor::openFormulas()
{
    CEvalDlg dialog(m_global, m_waypoint.code, linesFromWidget(m_note->toPlainText()), this);
    if (execDialog(dialog, this) != QDialog::Accepted)
        return;
    const FormulaOutcome& outcome = dialog.outcome();
    m_note->setPlainText(linesForWidget(outcome.comment));
    if (outcome.position)
        m_coords->setPosition(*outcome.position);
    else
        showUnreadable(m_global);
}

bool editWaypoint(QWidget* window, CGlobalData& global, CWaypoint& waypoint, bool isNew)
{
    WaypointEditor editor(global, waypoint, isNew, window);
    return execDialog(editor, window) == QDialog::Accepted;
}

bool newWaypointFromText(QWidget* window, CGlobalData& global, const std::string& code, const std::string& text)
{
    CWaypoint waypoint = newWaypointFor(global, code);
    prefillWaypointFromText(waypoint, text);
    return editWaypoint(window, global, waypoint, true);
}

} // namespace tw
