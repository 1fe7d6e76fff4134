// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/VisitsOffer.h"

#include "app/CGlobalData.h"
#include "app/GpsDevices.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "screens/CProgressDlg.h"
#include "screens/LangText.h"

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr int kTextTitle = 1285;
constexpr int kTextOffer = 1297;
constexpr int kLookMs = 4000;

// The dialog's progress without its end: the visits' own completion follows.
class WithoutFinish final : public JobProgress {
public:
    explicit WithoutFinish(JobProgress& to) : m_to(to) {}
    void setCounter(int k, int value) override { m_to.setCounter(k, value); }
    void setText(int line, const std::string& text) override { m_to.setText(line, text); }
    void setRange(int total) override { m_to.setRange(total); }
    void setPosition(int position) override { m_to.setPosition(position); }
    void finish(const std::string&) override {}

private:
    JobProgress& m_to;
};

} // namespace

VisitsOffer::VisitsOffer(CGlobalData& global, QWidget* window) : QObject(window), m_global(global), m_window(window)
{
    m_timer.setInterval(kLookMs);
    connect(&m_timer, &QTimer::timeout, this, &VisitsOffer::check);
    m_timer.start();
    check();
}

int VisitsOffer::check()
{
    std::set<std::string> present;
    for (const auto& parent : gpsdevice::mountParents()) {
        std::error_code ec;
        for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_directory(ec))
                present.insert(it->path().string());
    }
    int offered = 0;
    const bool first = !m_looked;
    m_looked = true;
    for (const auto& root : present) {
        if (m_known.contains(root) || first)
            continue;
        const auto source = visitsSourceAt(root);
        if (!source)
            continue;
        const int fresh = newVisitCount(m_global, *source);
        if (fresh == 0)
            continue;
        ++offered;
        const std::string question =
            text::fillIn(m_global.lang.textOr(kTextOffer, "%s holds new visits: %s. Read them as field notes?"),
                         {source->name, std::to_string(fresh)});
        if (m_global.prompter.ask(question, true))
            readWithProgress(m_window, m_global, *source);
    }
    // A unit taken out and plugged in again is looked at again.
    m_known = std::move(present);
    return offered;
}

CProgressDlg* VisitsOffer::makeDialog(QWidget* parent, CGlobalData& global)
{
    std::vector<QString> names;
    for (const auto& name : visitsCounterNames(global))
        names.push_back(QString::fromStdString(name));
    auto* dialog = new CProgressDlg(langText(global, kTextTitle), names, parent);
    dialog->setButtonTexts(langText(global, 968), langText(global, 967));
    return dialog;
}

VisitsSummary VisitsOffer::readInto(JobProgress& dialog, CGlobalData& global, const VisitsSource& source)
{
    WithoutFinish counters(dialog);
    VisitsSummary summary = importVisits(global, source, &counters);
    std::string completion = visitsCompletionText(global, summary);
    for (const auto& line : visitsListing(global, summary))
        completion += "\n" + line;
    dialog.finish(completion);
    return summary;
}

VisitsSummary VisitsOffer::readWithProgress(QWidget* parent, CGlobalData& global, const VisitsSource& source)
{
    std::unique_ptr<CProgressDlg> dialog(makeDialog(parent, global));
    VisitsSummary summary;
    dialog->run([&global, &source, &summary](CProgressDlg& progress) { summary = readInto(progress, global, source); });
    global.notifier.stateChanged(Topic::Counters);
    return summary;
}

} // namespace tw
