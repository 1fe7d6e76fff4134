// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes through the line assembler and the
// sentence dispatcher, as the reader thread hands them on.
#include "gps/GpsReceiver.h"
#include "platform/Notifier.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

class NullNotifier final : public tw::Notifier {
public:
    void stateChanged(tw::Topic) override {}
    void downloadProgress(int) override {}
};

class NullSink final : public tw::FixSink {
public:
    void appendFix(const tw::GpsFix&) override {}
    void flushBuffer() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static NullNotifier notifier;
    static NullSink sink;
    tw::GpsReceiver receiver(notifier);
    receiver.setFixSink(&sink);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    receiver.feed(bytes);
    // The same bytes as one sentence, the way a replay hands a line on.
    receiver.dispatchLine(bytes);
    (void)receiver.snapshot();
    return 0;
}
