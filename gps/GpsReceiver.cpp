// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/GpsReceiver.h"

#include "gps/FixTime.h"
#include "gps/NmeaPort.h"
#include "gps/NmeaSentence.h"
#include "platform/Notifier.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tw {
namespace {

constexpr int kPollIntervalMs = 1000;
constexpr std::size_t kReadChunk = 256;

constexpr int kTextOpenPort = 980;
constexpr int kTextReadState = 981;
constexpr int kTextWriteState = 982;
constexpr int kTextGpsd = 983;
constexpr int kTextConnectionFailed = 984;
constexpr int kTextReadError = 985;

SatelliteTable emptyTable()
{
    SatelliteTable t{};
    t[0].prn = -1;
    return t;
}

} // namespace

GpsReceiver::GpsReceiver(Notifier& notifier) : m_notifier(notifier)
{
    m_tables[0] = emptyTable();
    m_tables[1] = emptyTable();
}

GpsReceiver::~GpsReceiver()
{
    // No flush here: the track logger may already be gone. The program's
    // shutdown calls Stop() while everything still exists.
    wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_port)
        m_port->close();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void GpsReceiver::wake()
{
    m_stopRequested = true;
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_wakeFd, &one, sizeof one);
    }
}

bool GpsReceiver::Start(const std::string& portName, unsigned baudRate)
{
    Stop();
    {
        std::lock_guard lock(m_lock);
        m_portName = portName;
        m_baudRate = baudRate;
    }
    forgetFixTimes();
    m_port = makeNmeaPort(portName, baudRate);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_stopRequested = false;
    bool failed = m_wakeFd < 0;
    if (!failed) {
        std::unique_lock lock(m_openMutex);
        m_openState = OpenState::Pending;
        m_startWaiting = true;
        m_thread = std::thread([this] { run(); });
        m_openChanged.wait_for(lock, kStartWait, [this] { return m_openState != OpenState::Pending; });
        // Decided under the lock: a reader that fails later sees that
        // nobody waits and reports and retries on its own.
        failed = m_openState == OpenState::Failed;
        m_startWaiting = false;
    }
    if (!failed)
        return true;
    if (m_thread.joinable())
        m_thread.join(); // it has ended after its failed attempt
    std::fputs(failureLine().c_str(), stdout);
    std::fputs(connectionFailedLine().c_str(), stdout);
    std::fflush(stdout);
    m_port.reset();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
    return false;
}

void GpsReceiver::Stop()
{
    // The reader waits in poll() on the port and on the wake-up descriptor:
    // closing a terminal does not wake a thread blocked in read(). Every
    // port's opening gives up on it too.
    wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
    setReceiving(false);
    if (FixSink* sink = m_sink.load())
        sink->flushBuffer();
}

bool GpsReceiver::isRunning() const
{
    return m_thread.joinable();
}

geo::LiveFix GpsReceiver::liveFix() const
{
    const GpsSnapshot s = snapshot();
    geo::LiveFix fix;
    fix.hasFix = s.hasPosition();
    if (fix.hasFix)
        fix.position = {s.latitude, s.longitude};
    return fix;
}

GpsSnapshot GpsReceiver::snapshot() const
{
    std::lock_guard lock(m_lock);
    GpsSnapshot s = m_state;
    s.satellites = m_tables[static_cast<std::size_t>(m_front)];
    return s;
}

std::string GpsReceiver::portName() const
{
    std::lock_guard lock(m_lock);
    return m_portName;
}

unsigned GpsReceiver::baudRate() const
{
    std::lock_guard lock(m_lock);
    return m_baudRate;
}

void GpsReceiver::setPosition(double latitude, double longitude)
{
    std::lock_guard lock(m_lock);
    m_state.latitude = latitude;
    m_state.longitude = longitude;
}

void GpsReceiver::setFixSink(FixSink* sink)
{
    m_sink = sink;
}

void GpsReceiver::setTexts(const TextLookup& texts)
{
    m_texts = &texts;
}

std::string GpsReceiver::failureLine() const
{
    const TextLookup& texts = *m_texts;
    switch (m_port->failure()) {
    case PortFailure::None: return {};
    case PortFailure::Open: return texts.textOr(kTextOpenPort, "Unable to open COM port.") + "\n";
    case PortFailure::ReadState: return texts.textOr(kTextReadState, "Unable to get COM port state") + "\n";
    case PortFailure::WriteState: return texts.textOr(kTextWriteState, "Unable to set COM port state") + "\n";
    case PortFailure::Gpsd: return texts.textOr(kTextGpsd, "Unable to connect to gpsd.") + "\n";
    }
    return {};
}

std::string GpsReceiver::connectionFailedLine() const
{
    return m_texts.load()->textOr(kTextConnectionFailed, "Error while opening GPS connection.") + "\n";
}

void GpsReceiver::setSentenceObserver(SentenceObserver observer)
{
    m_observer = std::move(observer);
}

void GpsReceiver::post()
{
    m_notifier.stateChanged(Topic::Gps);
}

void GpsReceiver::setReceiving(bool on)
{
    {
        std::lock_guard lock(m_lock);
        if (m_state.receiving == on)
            return;
        m_state.receiving = on;
        if (on) {
            m_state.receivingSince = std::time(nullptr);
        } else {
            // Position, time, course and DOP values stay: the screens show
            // the last position in grey.
            m_state.speedKmh = 0;
            m_state.altitudeM = 0;
            m_state.satsInView = 0;
            m_state.satsUsed = 0;
            m_state.hasFix = false;
            for (auto& table : m_tables)
                table.fill(SatelliteInfo{});
            m_satsInView = 0;
            m_satsUsed = 0;
        }
        m_receiving = on;
    }
    post();
}

bool GpsReceiver::feed(std::string_view bytes)
{
    bool ok = true;
    for (const char c : bytes) {
        switch (m_assembler.push(c)) {
        case NmeaLineAssembler::Result::Line:
            dispatchLine(m_assembler.line());
            break;
        case NmeaLineAssembler::Result::Overflow:
            ok = false;
            break;
        case NmeaLineAssembler::Result::None:
            break;
        }
    }
    return ok;
}

void GpsReceiver::dispatchLine(std::string_view line)
{
    m_lastLine = std::chrono::steady_clock::now();
    setReceiving(true);
    // A wrong checksum means a damaged line (a noisy radio link): a digit
    // changed in the position would move the user by kilometres.
    if (nmea::checksumAcceptable(line)) {
        switch (nmea::kindOf(line)) {
        case nmea::Kind::Gga: handleGga(line); break;
        case nmea::Kind::Rmc: handleRmc(line); break;
        case nmea::Kind::Gsa: handleGsa(line); break;
        case nmea::Kind::Gsv: handleGsv(line); break;
        case nmea::Kind::Other: break;
        }
    }
    if (m_observer)
        m_observer(line, snapshot());
}

void GpsReceiver::forgetFixTimes()
{
    m_lastFixTime.reset();
    m_heldGga.reset();
    m_heldRmc.reset();
    m_ggaSinceRmc = m_rmcSinceGga = false;
    m_gsaHdop = m_gsaNoFix = m_inGsaRun = false;
    m_lastPositionAt.reset();
    m_noFixAt.reset();
}

void GpsReceiver::handOnHeld(std::optional<HeldFix>& held)
{
    if (held && !gsaSaysNoFix(held->sentAt))
        handOn(held->fix);
    held.reset();
}

void GpsReceiver::handOn(const GpsFix& fix)
{
    // Outside the receiver's lock: the logger has its own, and a flush to
    // the database must not hold up the screens reading the receiver.
    if (FixSink* sink = m_sink.load())
        sink->appendFix(fix);
}

void GpsReceiver::handleGga(std::string_view line)
{
    const auto gga = nmea::parseGga(line);
    if (!gga)
        return;
    m_inGsaRun = false;
    m_lastPositionAt = gga->utcTime;
    // Two GGAs without an RMC between: this receiver sends no date.
    const bool withoutRmc = m_ggaSinceRmc;
    m_ggaSinceRmc = true;
    m_rmcSinceGga = false;
    m_heldRmc.reset(); // the GGA tells that cycle's fix
    const bool isFix = gga->isFix() && !gsaSaysNoFix(gga->utcTime);
    GpsFix fix;
    bool changed = false;
    {
        std::lock_guard lock(m_lock);
        if (isFix) {
            m_state.latitude = gga->latitude;
            m_state.longitude = gga->longitude;
            m_state.altitudeM = gga->altitudeM;
        }
        m_state.hasFix = isFix;
        if (!m_gsaHdop)
            m_state.hdop = gga->hdop;
        if (m_state.satsUsed != gga->satsUsed) {
            m_state.satsUsed = gga->satsUsed;
            m_satsUsed = gga->satsUsed;
            changed = true;
        }
        fix = {gga->latitude, gga->longitude, gga->altitudeM, m_state.hdop, m_state.satsUsed, m_state.speedKmh, {}, {}};
    }
    if (changed)
        post();
    if (!isFix) {
        m_heldGga.reset();
        return;
    }
    const auto second = nmea::secondOfDay(gga->utcTime);
    if (second && m_lastFixTime) {
        // The date of the last dated fix, the next day's after midnight.
        fix.utcTime = nmea::onNearestDay(*second, *m_lastFixTime);
        m_lastFixTime = fix.utcTime;
    } else if (second && !withoutRmc) {
        // Many receivers send GGA before the cycle's RMC: the first GGA
        // waits for the date that follows.
        fix.utcSecondOfDay = second;
        m_heldGga = HeldFix{fix, gga->utcTime};
        return;
    } else if (second) {
        fix.utcSecondOfDay = second;
        handOnHeld(m_heldGga);
    }
    handOn(fix);
}

void GpsReceiver::handleRmc(std::string_view line)
{
    const auto rmc = nmea::parseRmc(line);
    if (!rmc)
        return;
    m_inGsaRun = false;
    m_lastPositionAt = rmc->utcTime;
    // Two RMCs without a GGA position between: this receiver sends no GGA,
    // and its RMC positions are its fixes.
    const bool withoutGga = m_rmcSinceGga;
    m_rmcSinceGga = true;
    m_ggaSinceRmc = false;
    const bool isFix = rmc->fix && !gsaSaysNoFix(rmc->utcTime);
    const auto dated = isFix && rmc->date ? nmea::utcOf(*rmc->date, rmc->utcTime) : std::nullopt;
    if (dated)
        m_lastFixTime = dated;
    if (m_heldGga && m_lastFixTime) {
        GpsFix& held = m_heldGga->fix;
        held.utcTime = nmea::onNearestDay(*held.utcSecondOfDay, *m_lastFixTime);
        held.utcSecondOfDay.reset();
    }
    handOnHeld(m_heldGga);
    GpsFix fix;
    {
        std::lock_guard lock(m_lock);
        m_state.utcTime = rmc->utcTime;
        if (rmc->speedKmh)
            m_state.speedKmh = *rmc->speedKmh;
        if (rmc->courseDeg)
            m_state.courseDeg = *rmc->courseDeg;
        if (isFix) {
            m_state.latitude = rmc->latitude;
            m_state.longitude = rmc->longitude;
        }
        m_state.hasFix = isFix;
        fix = {rmc->latitude, rmc->longitude, 0.0, m_state.hdop, m_state.satsUsed, m_state.speedKmh, dated, {}};
    }
    if (!isFix) {
        m_heldRmc.reset();
        return;
    }
    if (!dated)
        fix.utcSecondOfDay = nmea::secondOfDay(rmc->utcTime);
    if (!withoutGga) {
        m_heldRmc = HeldFix{fix, rmc->utcTime};
        return;
    }
    handOnHeld(m_heldRmc);
    handOn(fix);
}

void GpsReceiver::handleGsa(std::string_view line)
{
    const auto gsa = nmea::parseGsa(line);
    if (!gsa)
        return;
    // A GSA speaks of the cycle whose GGA or RMC came before it (a fix
    // begun with the next cycle counts). A multi-system receiver sends one
    // GSA per system in a row: there is a fix when any of them says so.
    if (gsa->fixType) {
        if (!m_inGsaRun)
            m_gsaNoFix = *gsa->fixType == 1;
        else if (*gsa->fixType >= 2)
            m_gsaNoFix = false;
        m_inGsaRun = true;
        m_noFixAt = m_gsaNoFix ? m_lastPositionAt : std::nullopt;
    }
    std::lock_guard lock(m_lock);
    if (gsa->pdop)
        m_state.pdop = *gsa->pdop;
    if (gsa->hdop) {
        m_state.hdop = *gsa->hdop;
        m_gsaHdop = true;
    }
    if (gsa->vdop)
        m_state.vdop = *gsa->vdop;
    // A multi-system receiver sends one GSA per system in each cycle: the
    // first of a cycle starts the set afresh, the others add to it.
    if (!m_gsaComplete)
        m_usedCount = 0;
    m_gsaComplete = true;
    for (const int prn : gsa->prns)
        if (prn >= 0 && m_usedCount < m_usedPrns.size())
            m_usedPrns[m_usedCount++] = prn;
    swapTablesIfComplete();
}

void GpsReceiver::handleGsv(std::string_view line)
{
    const auto gsv = nmea::parseGsv(line);
    if (!gsv)
        return;
    bool changed = false;
    {
        std::lock_guard lock(m_lock);
        auto& back = m_tables[static_cast<std::size_t>(1 - m_front)];
        // 64-bit: message numbers such as -1 or 2147483647 arrive from noise.
        std::int64_t slot = (static_cast<std::int64_t>(gsv->messageNumber) - 1) * 4;
        for (int i = 0; i < gsv->recordCount; ++i, ++slot) {
            if (slot < 0 || slot >= kSatelliteSlots)
                continue;
            auto& sat = back[static_cast<std::size_t>(slot)];
            const auto& r = gsv->records[static_cast<std::size_t>(i)];
            sat.prn = r.prn;
            sat.elevationDeg = r.elevationDeg;
            sat.azimuthDeg = r.azimuthDeg;
            sat.snrDb = r.snrDb;
        }
        if (gsv->messageNumber != gsv->messageCount)
            return;
        for (std::int64_t s = std::max<std::int64_t>(slot, 0); s < kSatelliteSlots; ++s) {
            auto& sat = back[static_cast<std::size_t>(s)];
            sat.prn = sat.elevationDeg = sat.azimuthDeg = sat.snrDb = -1;
        }
        const int inView = static_cast<int>(
            std::count_if(back.begin(), back.end(), [](const SatelliteInfo& s) { return s.prn > 0; }));
        if (inView != m_state.satsInView) {
            m_state.satsInView = inView;
            m_satsInView = inView;
            changed = true;
        }
        m_gsvComplete = true;
        swapTablesIfComplete();
    }
    if (changed)
        post();
}

void GpsReceiver::swapTablesIfComplete()
{
    if (!m_gsvComplete || !m_gsaComplete)
        return;
    // The used flags are given by PRN once the sky view is complete: GSA
    // comes before GSV in a cycle, when the slots still hold the old view.
    auto& back = m_tables[static_cast<std::size_t>(1 - m_front)];
    for (auto& sat : back)
        sat.used = std::find(m_usedPrns.begin(), m_usedPrns.begin() + static_cast<std::ptrdiff_t>(m_usedCount),
                             sat.prn)
                   != m_usedPrns.begin() + static_cast<std::ptrdiff_t>(m_usedCount);
    m_front = 1 - m_front;
    m_gsvComplete = m_gsaComplete = false;
}

bool GpsReceiver::waitForWake(std::chrono::milliseconds timeout)
{
    pollfd p{m_wakeFd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(timeout.count()));
    return m_stopRequested.load();
}

bool GpsReceiver::reopen(bool reported)
{
    m_port->close();
    setReceiving(false);
    while (!m_stopRequested) {
        if (waitForWake(kReconnectPause))
            return false;
        if (m_port->open(m_wakeFd))
            return true;
        // Once per outage, not every second while a device is unplugged.
        if (!reported) {
            std::fputs(failureLine().c_str(), stdout);
            std::fflush(stdout);
        }
        reported = true;
    }
    return false;
}

void GpsReceiver::run()
{
    const bool opened = m_port->open(m_wakeFd);
    {
        std::lock_guard lock(m_openMutex);
        m_openState = opened ? OpenState::Opened : OpenState::Failed;
        m_openChanged.notify_all();
        if (!opened && m_startWaiting)
            return; // Start() reports the failure
    }
    if (!opened) {
        std::fputs(failureLine().c_str(), stdout);
        std::fputs(connectionFailedLine().c_str(), stdout);
        std::fflush(stdout);
        if (!reopen(true))
            return;
    }
    readerLoop();
}

void GpsReceiver::readerLoop()
{
    char buffer[kReadChunk];
    m_assembler.clear();
    m_lastLine = std::chrono::steady_clock::now();
    while (!m_stopRequested) {
        pollfd p[2] = {{m_port->fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int n = ::poll(p, 2, kPollIntervalMs);
        if (n < 0 && errno != EINTR)
            break;
        if (m_stopRequested || (p[1].revents & POLLIN))
            break;
        if (m_receiving && std::chrono::steady_clock::now() - m_lastLine > kSilenceLimit)
            setReceiving(false);

        bool failed = false;
        if (p[0].revents & POLLIN) {
            const ssize_t got = ::read(m_port->fd(), buffer, sizeof buffer);
            if (got > 0) {
                // A line of 256 bytes without an end: wrong speed or a
                // broken link; start the port afresh.
                failed = !feed({buffer, static_cast<std::size_t>(got)});
            } else if (got == 0) {
                failed = true; // the other end has gone (gpsd, a pseudo-terminal)
            } else if (errno != EAGAIN && errno != EINTR) {
                const std::string code = std::to_string(errno);
                const std::string line =
                    text::fillIn(m_texts.load()->textOr(kTextReadError, "Read error %d"), {code});
                std::printf("%s\n", line.c_str());
                std::fflush(stdout);
                failed = true;
            }
        } else if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            failed = true;
        }
        if (failed) {
            if (!reopen(false))
                break;
            m_assembler.clear();
            m_lastLine = std::chrono::steady_clock::now();
        }
    }
}

} // namespace tw
