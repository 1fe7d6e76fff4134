// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's alarm sound: three two-tone beeps as a 16-bit mono
// PCM WAV file. Run at build time: tarnwick-alarm-wav OUTPUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;

void put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

// A tone with 5 ms ramps at both ends, so it starts and stops without a click.
void tone(std::vector<std::int16_t>& samples, double hz, double seconds, double volume)
{
    const int n = static_cast<int>(seconds * kRate);
    const int ramp = kRate / 200;
    for (int i = 0; i < n; ++i) {
        double gain = volume;
        if (i < ramp)
            gain *= static_cast<double>(i) / ramp;
        else if (n - i < ramp)
            gain *= static_cast<double>(n - i) / ramp;
        const double v = std::sin(2 * std::numbers::pi * hz * i / kRate) * gain;
        samples.push_back(static_cast<std::int16_t>(std::lround(v * 32767.0)));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: tarnwick-alarm-wav OUTPUT.wav\n", stderr);
        return 2;
    }
    std::vector<std::int16_t> samples;
    for (int beep = 0; beep < 3; ++beep) {
        tone(samples, 1046.5, 0.14, 0.7); // C6
        tone(samples, 1568.0, 0.14, 0.7); // G6
        tone(samples, 0.0, 0.12, 0.0);
    }
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    for (const std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));

    const std::string tmp = std::string(argv[1]) + ".tmp";
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file || std::rename(tmp.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "tarnwick-alarm-wav: %s cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}
