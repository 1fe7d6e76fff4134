// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CProgressDlg.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <thread>

namespace tw {

CProgressDlg::CProgressDlg(const QString& title, const std::vector<QString>& counterNames, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_line1 = new QLabel(this);
    m_line2 = new QLabel(this);
    for (QLabel* l : {m_line1, m_line2}) {
        l->setWordWrap(true);
        layout->addWidget(l);
    }
    m_line3 = new QLabel(this);
    m_line3->setObjectName(QStringLiteral("line3"));
    m_line3->setWordWrap(true);
    m_line3->hide();
    layout->addWidget(m_line3);
    auto* form = new QFormLayout;
    for (const QString& name : counterNames) {
        auto* value = new QLabel(QStringLiteral("0"), this);
        value->setObjectName(QStringLiteral("counter%1").arg(m_counters.size() + 1));
        if (!name.isEmpty())
            form->addRow(name, value);
        else
            value->hide();
        m_counters.push_back(value);
    }
    layout->addLayout(form);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 0);
    layout->addWidget(m_bar);
    m_completion = new QLabel(this);
    m_completion->setObjectName(QStringLiteral("completion"));
    m_completion->setWordWrap(true);
    m_completion->hide();
    layout->addWidget(m_completion);
    m_button = new QPushButton(this);
    m_button->setObjectName(QStringLiteral("button"));
    m_button->setMinimumHeight(48);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &CProgressDlg::onButton);
    resize(400, 300);
}

void CProgressDlg::post(std::function<void()> update)
{
    QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

void CProgressDlg::setCounter(int k, int value)
{
    post([this, k, value] {
        if (k >= 1 && k <= static_cast<int>(m_counters.size()))
            m_counters[static_cast<std::size_t>(k - 1)]->setNum(value);
    });
}

void CProgressDlg::setText(int line, const std::string& text)
{
    const QString q = QString::fromStdString(text);
    post([this, line, q] {
        QLabel* label = line == 1 ? m_line1 : line == 2 ? m_line2 : m_line3;
        label->setText(q);
        if (line == 3)
            label->show();
    });
}

void CProgressDlg::setRange(int total)
{
    post([this, total] { m_bar->setRange(0, total); });
}

void CProgressDlg::setPosition(int position)
{
    post([this, position] { m_bar->setValue(position); });
}

void CProgressDlg::finish(const std::string& completion)
{
    const QString q = QString::fromStdString(completion);
    post([this, q] {
        m_finished = true;
        if (m_cancel) {
            QDialog::reject();
            return;
        }
        if (m_bar->maximum() == 0)
            m_bar->setRange(0, 1);
        m_bar->setValue(m_bar->maximum());
        m_completion->setText(q);
        m_completion->show();
        m_button->setText(m_okText);
        m_button->setEnabled(true);
    });
}

void CProgressDlg::setButtonTexts(const QString& cancel, const QString& ok)
{
    m_okText = ok;
    m_button->setText(m_finished ? ok : cancel);
}

void CProgressDlg::reject()
{
    if (!m_finished) {
        onButton();
        return;
    }
    QDialog::reject();
}

void CProgressDlg::onButton()
{
    if (m_finished) {
        accept();
        return;
    }
    // The job stops after the entry it is working on and then finishes.
    m_cancel = true;
    m_button->setEnabled(false);
}

bool CProgressDlg::run(std::function<void(CProgressDlg&)> work)
{
    std::thread worker;
    QTimer::singleShot(100, this, [&] { worker = std::thread([this, work] { work(*this); }); });
    const int result = exec();
    if (!worker.joinable()) {
        // Closed before the job even started: it never runs.
        return false;
    }
    worker.join();
    return result == QDialog::Accepted && !m_cancel;
}

} // namespace tw
