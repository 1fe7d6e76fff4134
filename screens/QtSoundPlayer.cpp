// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtSoundPlayer.h"

#include <QAudioDevice>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace tw {

QtSoundPlayer::QtSoundPlayer(QObject* parent) : QObject(parent) {}

QtSoundPlayer::~QtSoundPlayer() = default;

bool QtSoundPlayer::prepare(const QString& path)
{
    if (!QFileInfo(path).isFile() || QMediaDevices::audioOutputs().isEmpty())
        return false;
    if (!m_effect)
        m_effect = new QSoundEffect(this);
    const QUrl url = QUrl::fromLocalFile(path);
    if (m_effect->source() != url)
        m_effect->setSource(url);
    return m_effect->status() != QSoundEffect::Error;
}

void QtSoundPlayer::playAsync(const std::string& path)
{
    const QString file = QString::fromStdString(path);
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            if (prepare(file))
                m_effect->play(); // a sound still loading starts when loaded
        },
        Qt::QueuedConnection);
}

bool QtSoundPlayer::playSync(const std::string& path)
{
    if (!prepare(QString::fromStdString(path)))
        return false;
    QEventLoop loop;
    bool started = false;
    bool failed = false;
    const auto c1 = connect(m_effect, &QSoundEffect::playingChanged, &loop, [&] {
        if (m_effect->isPlaying())
            started = true;
        else if (started)
            loop.quit();
    });
    const auto c2 = connect(m_effect, &QSoundEffect::statusChanged, &loop, [&] {
        if (m_effect->status() == QSoundEffect::Error) {
            failed = true;
            loop.quit();
        }
    });
    QTimer::singleShot(kSyncLimitMs, &loop, &QEventLoop::quit);
    m_effect->play();
    loop.exec();
    disconnect(c1);
    disconnect(c2);
    return started && !failed;
}

} // namespace tw
