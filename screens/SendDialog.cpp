// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/SendDialog.h"

#include "app/CGlobalData.h"
#include "app/DeviceSend.h"
#include "app/GpsDevices.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "screens/CProgressDlg.h"
#include "screens/LangText.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <optional>

namespace tw {

namespace {

constexpr int kTextNoDevice = 1276;
constexpr int kTextChooseDevice = 1278;
constexpr int kTextSendTitle = 1281;

QString deviceLabel(const gpsdevice::Device& device)
{
    const QString root = QString::fromStdString(device.root);
    return device.model.empty() ? root : QString::fromStdString(device.model) + QStringLiteral(" (") + root +
                                             QStringLiteral(")");
}

std::optional<gpsdevice::Device> chooseDevice(QWidget* parent, CGlobalData& global)
{
    const auto devices = gpsdevice::FindDevices(global.settings.gpsDeviceFolder);
    if (devices.size() == 1)
        return devices.front();
    if (devices.empty()) {
        const QString folder =
            QFileDialog::getExistingDirectory(parent, langText(global, kTextChooseDevice),
                                              QString::fromStdString(global.settings.gpsDeviceFolder));
        if (folder.isEmpty())
            return std::nullopt;
        auto device = gpsdevice::DeviceAt(folder.toStdString());
        if (!device)
            global.prompter.message(
                text::fillIn(global.lang.textOr(kTextNoDevice, "No GPS device was found at %s."), {folder.toStdString()}),
                MessageIcon::Exclamation);
        return device;
    }
    QStringList labels;
    for (const auto& device : devices)
        labels << deviceLabel(device);
    bool chosen = false;
    const QString label = QInputDialog::getItem(parent, langText(global, kTextChooseDevice),
                                                langText(global, kTextChooseDevice), labels, 0, false, &chosen);
    if (!chosen)
        return std::nullopt;
    return devices[static_cast<std::size_t>(std::max<qsizetype>(0, labels.indexOf(label)))];
}

} // namespace

CProgressDlg* makeSendDialog(CGlobalData& global, QWidget* parent)
{
    auto* dialog = new CProgressDlg(langText(global, kTextSendTitle), {}, parent);
    dialog->setButtonTexts(langText(global, 968), langText(global, 967));
    return dialog;
}

void sendToDeviceCommand(QWidget* parent, CGlobalData& global)
{
    if (!global.db.cacheDbAvailable())
        return;
    const auto device = chooseDevice(parent, global);
    if (!device)
        return;
    std::unique_ptr<CProgressDlg> dialog(makeSendDialog(global, parent));
    dialog->run([&global, unit = *device](CProgressDlg& progress) {
        sendToDevice(global, unit, &progress, &progress.cancelFlag());
    });
    global.notifier.stateChanged(Topic::CacheList);
}

} // namespace tw
